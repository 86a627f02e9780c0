#include "minidump/MiniDump.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// Runs the crashing helper; returns the signal that ended it, or -exit code when it exited.
int runCrashHelper(const QString& reportPath, const char* mode)
{
    const QByteArray path = reportPath.toUtf8();
    char* argv[] = {const_cast<char*>(CRASH_HELPER), const_cast<char*>(path.constData()),
                    const_cast<char*>(mode), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, CRASH_HELPER, nullptr, nullptr, argv, environ) != 0)
        return -1000;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

void onTestSignal(int) {}

} // namespace

class TestMiniDump : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void crashWritesReportAndDiesBySameSignal_data();
    void crashWritesReportAndDiesBySameSignal();
    void reportIsNotWrittenThroughSymlink();
    void recordPathMustFit_data();
    void recordPathMustFit();
    void registerRefusesBadRecord();
    void unregisterRestoresPreviousState();
};

void TestMiniDump::crashWritesReportAndDiesBySameSignal_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("expectedLine");
    QTest::addColumn<QByteArray>("expectedFrame"); // a function the backtrace must name

    QTest::newRow("null pointer") << QByteArray("segv") << SIGSEGV
                                  << QByteArray("address: 0x0000000000000000")
                                  << QByteArray("(crashByNullPointer+");
    QTest::newRow("stack overflow")
        << QByteArray("overflow") << SIGSEGV << QByteArray("signal: 11 SIGSEGV")
        << QByteArray("(crashByRecursion+");
    QTest::newRow("abort") << QByteArray("abort") << SIGABRT << QByteArray("signal: 6 SIGABRT")
                           << QByteArray("(abort+");
    QTest::newRow("division") << QByteArray("fpe") << SIGFPE << QByteArray("signal: 8 SIGFPE")
                              << QByteArray("(crashByDivision+");
    QTest::newRow("illegal") << QByteArray("ill") << SIGILL << QByteArray("signal: 4 SIGILL")
                             << QByteArray("(main+");
    QTest::newRow("bus") << QByteArray("bus") << SIGBUS << QByteArray("signal: 7 SIGBUS")
                         << QByteArray("(main+");
}

void TestMiniDump::crashWritesReportAndDiesBySameSignal()
{
    QFETCH(QByteArray, mode);
    QFETCH(int, signal);
    QFETCH(QByteArray, expectedLine);
    QFETCH(QByteArray, expectedFrame);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString reportPath = dir.filePath("KRNotify_20240101120000.dmp");
    // A report of an earlier run at the same path is replaced, not extended.
    writeFile(reportPath, QByteArray(8192, 'x'));

    QCOMPARE(runCrashHelper(reportPath, mode.constData()), signal);

    const QByteArray report = readAll(reportPath);
    QVERIFY2(report.startsWith("crash report\n"), report.left(200).constData());
    QVERIFY(report.contains(QByteArray("signal: " + QByteArray::number(signal) + " ")));
    QVERIFY2(report.contains(expectedLine), report.left(2000).constData());
    QVERIFY(report.contains("\nregisters:\n"));
#if defined(__x86_64__)
    QVERIFY(report.contains("\n  rip 0x"));
#endif
    const int backtrace = report.indexOf("\nbacktrace:\n");
    QVERIFY(backtrace > 0);
    QVERIFY2(report.indexOf(expectedFrame, backtrace) > backtrace, report.constData());
    // The memory map names the crashing executable.
    const int map = report.indexOf("\nmemory map:\n");
    QVERIFY(map > backtrace);
    QVERIFY(report.indexOf("minidump_crash_helper", map) > map);
    QVERIFY(report.endsWith("end of report\n"));
    QVERIFY(!report.contains(QByteArray(64, 'x')));
}

void TestMiniDump::reportIsNotWrittenThroughSymlink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("victim");
    writeFile(target, "keep");
    const QString link = dir.filePath("report.dmp");
    QVERIFY(QFile::link(target, link));

    QCOMPARE(runCrashHelper(link, "segv"), SIGSEGV);
    QCOMPARE(readAll(target), QByteArray("keep"));
}

void TestMiniDump::recordPathMustFit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("fits");
    QTest::newRow("259 characters") << 259 << true;
    QTest::newRow("260 characters") << 260 << false;
    QTest::newRow("far too long") << 4096 << false;
}

void TestMiniDump::recordPathMustFit()
{
    QFETCH(int, length);
    QFETCH(bool, fits);

    const QByteArray path = '/' + QByteArray(length - 1, 'a');
    ExceptionFilterRecord record;
    QCOMPARE(record.setPath(path.constData()), fits);
    QCOMPARE(QByteArray(record.dumpPath), fits ? path : QByteArray());
    QVERIFY(!record.setPath(nullptr));
}

void TestMiniDump::registerRefusesBadRecord()
{
    ExceptionFilterRecord empty;
    QCOMPARE(RegisterExceptionFilter(empty), 0u);

    ExceptionFilterRecord unterminated;
    std::memset(unterminated.dumpPath, 'a', sizeof(unterminated.dumpPath));
    QCOMPARE(RegisterExceptionFilter(unterminated), 0u);

    ExceptionFilterRecord reserved;
    QVERIFY(reserved.setPath("/tmp/report.dmp"));
    reserved.reserved = 7;
    QCOMPARE(RegisterExceptionFilter(reserved), 0u);
}

void TestMiniDump::unregisterRestoresPreviousState()
{
    struct sigaction mine = {};
    mine.sa_handler = onTestSignal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before = {};
    QCOMPARE(sigaction(SIGFPE, &mine, &before), 0);
    stack_t stackBefore = {};
    QCOMPARE(sigaltstack(nullptr, &stackBefore), 0);

    ExceptionFilterRecord record;
    QVERIFY(record.setPath("/tmp/never-written.dmp"));
    const ExceptionFilterHandle handle = RegisterExceptionFilter(record);
    QVERIFY(handle != 0);
    QCOMPARE(RegisterExceptionFilter(record), 0u); // one registration at a time

    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        struct sigaction now = {};
        sigaction(sig, nullptr, &now);
        QVERIFY((now.sa_flags & SA_ONSTACK) != 0);
        QVERIFY((now.sa_flags & SA_SIGINFO) != 0);
    }
    stack_t stackDuring = {};
    sigaltstack(nullptr, &stackDuring);
    QVERIFY((stackDuring.ss_flags & SS_DISABLE) == 0);

    QVERIFY(!UnregisterExceptionFilter(0));
    QVERIFY(!UnregisterExceptionFilter(handle + 1));
    QVERIFY(UnregisterExceptionFilter(handle));
    QVERIFY(!UnregisterExceptionFilter(handle));

    struct sigaction after = {};
    sigaction(SIGFPE, nullptr, &after);
    QVERIFY(after.sa_handler == onTestSignal);
    stack_t stackAfter = {};
    sigaltstack(nullptr, &stackAfter);
    QCOMPARE(stackAfter.ss_flags & SS_DISABLE, stackBefore.ss_flags & SS_DISABLE);
    sigaction(SIGFPE, &before, nullptr);

    // A later registration gets a new handle.
    const ExceptionFilterHandle again = RegisterExceptionFilter(record);
    QVERIFY(again != 0 && again != handle);
    QVERIFY(UnregisterExceptionFilter(again));
}

QTEST_GUILESS_MAIN(TestMiniDump)
#include "tst_minidump.moc"
