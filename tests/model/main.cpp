#include "ModelTests.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = runSiteModelTests(argc, argv);
    failures += runEventLogDataTests(argc, argv);
    failures += runOleDateTimeTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
