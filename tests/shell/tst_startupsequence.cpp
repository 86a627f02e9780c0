#include "shell/ElevationPlatform.h"
#include "shell/StartupSequence.h"
#include "tst_shell.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Answer = FrameWindowChannel::Answer;

// Answers each step as configured and records the calls in order.
class RecordingSteps : public StartupSteps
{
public:
    bool elevated = true;
    bool lockCreated = true;
    bool lockOwned = true;
    Answer answer = Answer::NotFound;
    QStringList calls;

    bool isElevated() override
    {
        calls << "elevation";
        return elevated;
    }
    void handOver(const QString& program, const QString& command) override
    {
        calls << "handOver " + program + " | " + command;
    }
    bool createInstanceLock() override
    {
        calls << "createLock";
        return lockCreated;
    }
    bool tryOwnInstanceLock() override
    {
        calls << "ownLock";
        return lockOwned;
    }
    Answer askRunningInstance(FrameWindowChannel::Request request) override
    {
        calls << (request == FrameWindowChannel::Request::Close ? "ask close" : "ask activate");
        return answer;
    }
    void registerCrashFilter() override { calls << "crashFilter"; }
    void writeAutorun(const QString& program) override { calls << "writeAutorun " + program; }
    void removeAutorun() override { calls << "removeAutorun"; }
};

class NoElevationPlatform : public LinuxElevationPlatform
{
public:
    bool startProcess(const QString&, const QString&, bool) override { return false; }
};

} // namespace

Q_DECLARE_METATYPE(StartupOutcome)
Q_DECLARE_METATYPE(FrameWindowChannel::Answer)

class TestStartupSequence : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outcomes_data();
    void outcomes();
    void systemCrashFilterLifetime();
};

void TestStartupSequence::outcomes_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<bool>("elevated");
    QTest::addColumn<bool>("lockCreated");
    QTest::addColumn<bool>("lockOwned");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<StartupOutcome>("outcome");
    QTest::addColumn<QStringList>("calls");

    const QString p = "/opt/KRNotify";
    const QStringList firstSteps{"elevation", "createLock", "ownLock"};
    QTest::newRow("program path unreadable")
        << QString() << "" << true << true << true << Answer::NotFound << StartupOutcome::Ended
        << QStringList();
    QTest::newRow("not elevated hands over, keeping /minimize")
        << p << "/minimize" << false << true << true << Answer::NotFound
        << StartupOutcome::HandedOver
        << QStringList{"elevation", "handOver /opt/KRNotify | /minimize /Service"};
    QTest::newRow("not elevated with /Service runs")
        << p << "/minimize /Service" << false << true << true << Answer::NotFound
        << StartupOutcome::Run << firstSteps + QStringList{"crashFilter", "writeAutorun " + p};
    QTest::newRow("no lock at all")
        << p << "" << true << false << true << Answer::NotFound << StartupOutcome::Ended
        << QStringList{"elevation", "createLock"};
    QTest::newRow("second instance activates")
        << p << "" << true << true << false << Answer::Activated << StartupOutcome::ActivatedRunning
        << firstSteps + QStringList{"ask activate"};
    QTest::newRow("second instance /uninstall closes")
        << p << "/uninstall" << true << true << false << Answer::Closed
        << StartupOutcome::ClosedRunning << firstSteps + QStringList{"ask close"};
    QTest::newRow("second instance finds nobody")
        << p << "" << true << true << false << Answer::NotFound << StartupOutcome::RunningNotFound
        << firstSteps + QStringList{"ask activate"};
    QTest::newRow("second instance gets no reply")
        << p << "/uninstall" << true << true << false << Answer::NoReply
        << StartupOutcome::RunningNotFound << firstSteps + QStringList{"ask close"};
    QTest::newRow("first instance /uninstall")
        << p << "/uninstall" << true << true << true << Answer::NotFound
        << StartupOutcome::Uninstalled << firstSteps + QStringList{"crashFilter", "removeAutorun"};
    QTest::newRow("first instance")
        << p << "/minimize" << true << true << true << Answer::NotFound << StartupOutcome::Run
        << firstSteps + QStringList{"crashFilter", "writeAutorun " + p};
}

void TestStartupSequence::outcomes()
{
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    RecordingSteps steps;
    QFETCH(bool, elevated);
    QFETCH(bool, lockCreated);
    QFETCH(bool, lockOwned);
    QFETCH(Answer, answer);
    steps.elevated = elevated;
    steps.lockCreated = lockCreated;
    steps.lockOwned = lockOwned;
    steps.answer = answer;

    const CommandLine commandLine =
        CommandLine::fromArguments(program, arguments.split(' ', Qt::SkipEmptyParts));
    QTEST(runStartup(program, commandLine, steps), "outcome");
    QTEST(steps.calls, "calls");
}

void TestStartupSequence::systemCrashFilterLifetime()
{
    QTemporaryDir dir;
    NoElevationPlatform platform;
    SystemStartupSteps steps(platform, dir.path());
    QTest::ignoreMessage(QtDebugMsg,
                         "[TavStartupAgentLib] IsElevationProcess - Windows is Vista or Older.");
    QVERIFY(steps.isElevated()); // no elevation model here: start-up never hands over

    steps.registerCrashFilter();
    QVERIFY(steps.crashFilterHandle() != 0);
    QVERIFY(QFileInfo(dir.filePath("Exception")).isDir());
    steps.exitInstance();
    QCOMPARE(steps.crashFilterHandle(), 0u);

    // A folder too deep for the record: no filter, start-up goes on.
    const QString deep = dir.filePath(QString(120, 'a') + "/" + QString(120, 'b'));
    SystemStartupSteps deepSteps(platform, deep);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("crash reports disabled"));
    deepSteps.registerCrashFilter();
    QCOMPARE(deepSteps.crashFilterHandle(), 0u);
    deepSteps.exitInstance();
}

QObject* makeStartupSequenceTest()
{
    return new TestStartupSequence;
}

#include "tst_startupsequence.moc"
