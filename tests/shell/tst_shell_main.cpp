#include "tst_shell.h"

#include <QCoreApplication>
#include <QtTest>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (QObject* test : shellTests()) {
        failed += QTest::qExec(test, argc, argv);
        delete test;
    }
    return failed == 0 ? 0 : 1;
}
