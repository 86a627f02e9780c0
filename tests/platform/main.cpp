#include "PlatformTests.h"

#include <QCoreApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestProfileFile profile;
        status |= QTest::qExec(&profile, argc, argv);
    }
    {
        TestProgramPaths paths;
        status |= QTest::qExec(&paths, argc, argv);
    }
    {
        TestUnsyncedSaveFile saveFile;
        status |= QTest::qExec(&saveFile, argc, argv);
    }
    return status;
}
