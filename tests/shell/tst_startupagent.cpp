#include "platform/ProfileFile.h"
#include "shell/ElevationPlatform.h"
#include "shell/TavStartupAgentLib.h"
#include "tst_shell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

namespace {

using Type = ElevationPlatform::ElevationType;

// Simulates every elevation situation and records the direct starts.
class FakePlatform : public ElevationPlatform
{
public:
    bool elevationModel = true;
    ProcessElevation elevation;
    int service = TavStartupAgentLib::NotInstalled;
    bool startAccepted = true;
    QStringList starts; // "elevated|plain <program> <command line>"

    bool hasElevationModel() const override { return elevationModel; }
    ProcessElevation processElevation() const override { return elevation; }
    int serviceState(const QString&) const override { return service; }
    bool startProcess(const QString& program, const QString& commandLine, bool elevated) override
    {
        starts << QString("%1 %2 %3").arg(elevated ? "elevated" : "plain", program, commandLine);
        return startAccepted;
    }
};

QString profile(const QString& file, const QString& section, const QString& key)
{
    ProfileFile::clearCache();
    return ProfileFile::readString(file, section, key, "<none>");
}

int eventValue(const QByteArray& name)
{
    sem_t* event = sem_open(name.constData(), 0);
    if (event == SEM_FAILED)
        return -1;
    int value = -1;
    sem_getvalue(event, &value);
    sem_close(event);
    return value;
}

} // namespace

Q_DECLARE_METATYPE(ElevationPlatform::ElevationType)

class TestStartupAgent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void elevation_data();
    void elevation();
    void requestFileRules_data();
    void requestFileRules();
    void createProcess_data();
    void createProcess();
    void agentIsWokenAndReadsRequests();
    void systemdStates_data();
    void systemdStates();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    AgentLocations m_locations;
};

void TestStartupAgent::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_locations.dataDir = m_dir->filePath("data/Tavrin");
    m_locations.lockDir = m_dir->path();
    m_locations.eventName = QString("/krnotify-test-%1").arg(::getpid());
    sem_unlink(m_locations.eventName.toUtf8().constData());
    ProfileFile::clearCache();
}

void TestStartupAgent::cleanup()
{
    sem_unlink(m_locations.eventName.toUtf8().constData());
}

void TestStartupAgent::elevation_data()
{
    QTest::addColumn<bool>("model");
    QTest::addColumn<bool>("known");
    QTest::addColumn<Type>("type");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("elevated");
    QTest::addColumn<QString>("log");

    const QString prefix = "[TavStartupAgentLib] IsElevationProcess - ";
    QTest::newRow("no elevation model") << false << false << Type::Limited << false << true
                                        << prefix + "Windows is Vista or Older.";
    QTest::newRow("unreadable") << true << false << Type::Full << true << false
                                << prefix + "GetProcessElevationInfo Fail !";
    QTest::newRow("default, administrator")
        << true << true << Type::Default << true << true
        << prefix + "GetProcessElevationInfo is TokenElevationTypeDefault.";
    QTest::newRow("default, standard user")
        << true << true << Type::Default << false << false
        << prefix + "GetProcessElevationInfo is TokenElevationTypeDefault.";
    QTest::newRow("full") << true << true << Type::Full << false << true
                          << prefix + "GetProcessElevationInfo is TokenElevationTypeFull.";
    QTest::newRow("limited administrator")
        << true << true << Type::Limited << true << false
        << prefix + "GetProcessElevationInfo is TokenElevationTypeLimited.";
    QTest::newRow("other") << true << true << Type::Other << true << false
                           << prefix + "GetProcessElevationInfo is UnKnow.";
}

void TestStartupAgent::elevation()
{
    QFETCH(QString, log);
    FakePlatform platform;
    QFETCH(bool, model);
    platform.elevationModel = model;
    QFETCH(bool, known);
    QFETCH(Type, type);
    QFETCH(bool, administrator);
    platform.elevation = {known, type, administrator};

    QTest::ignoreMessage(QtDebugMsg, log.toUtf8().constData());
    QTEST(TavStartupAgentLib(platform, m_locations).IsElevationProcess(), "elevated");
}

void TestStartupAgent::requestFileRules_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("exePath");

    QTest::newRow("empty file") << QByteArray() << "/minimize /Service" << true << "AP0"
                                << "1"
                                << "/opt/KRNotify";
    QTest::newRow("next entry") << QByteArray("[Startup]\nCount=1\n[AP0]\nExePath=x\n") << "a"
                                << true << "AP1"
                                << "2"
                                << "/opt/KRNotify";
    QTest::newRow("negative count") << QByteArray("[Startup]\nCount=-3\n") << "" << true << "AP0"
                                    << "1"
                                    << "/opt/KRNotify";
    // A failed write stops the request: the entry keeps what was written, Count stays, and the
    // next request reuses the entry.
    QTest::newRow("command line not writable")
        << QByteArray("[Startup]\nCount=4\n") << "a\nb" << false << "AP4"
        << "4"
        << "/opt/KRNotify";
}

void TestStartupAgent::requestFileRules()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, commandLine);
    QFETCH(QString, entry);
    const QString file = m_dir->filePath("TavStartupAgent.ini");
    if (!before.isEmpty()) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(before);
    }

    QTEST(TavStartupAgentLib::appendRequest(file, "/opt/KRNotify", commandLine), "written");
    QTEST(profile(file, "Startup", "Count"), "count");
    QTEST(profile(file, entry, "ExePath"), "exePath");
    QFETCH(bool, written);
    QCOMPARE(profile(file, entry, "CmdLine"), written ? commandLine : QString("<none>"));
}

void TestStartupAgent::createProcess_data()
{
    QTest::addColumn<int>("service");
    QTest::addColumn<bool>("model");
    QTest::addColumn<bool>("dataWritable");
    QTest::addColumn<bool>("startAccepted");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("event");

    const QString command = "/opt/KRNotify /minimize /Service";
    QTest::newRow("agent running") << int(TavStartupAgentLib::Running) << true << true << true
                                   << int(TavStartupAgentLib::HandedToAgent) << QString() << 1;
    QTest::newRow("agent stopped: elevation prompt")
        << int(TavStartupAgentLib::Stopped) << true << true << true
        << int(TavStartupAgentLib::StartedDirectly) << "elevated " + command << -1;
    QTest::newRow("no agent, no elevation model: plain start")
        << int(TavStartupAgentLib::NotInstalled) << false << true << true
        << int(TavStartupAgentLib::StartedDirectly) << "plain " + command << -1;
    QTest::newRow("agent paused") << int(TavStartupAgentLib::Paused) << true << true << true
                                  << int(TavStartupAgentLib::StartedDirectly)
                                  << "elevated " + command << -1;
    QTest::newRow("request not writable: direct start")
        << int(TavStartupAgentLib::Running) << true << false << true
        << int(TavStartupAgentLib::StartedDirectly) << "elevated " + command << -1;
    QTest::newRow("start refused")
        << int(TavStartupAgentLib::ManagerUnavailable) << true << true << false
        << int(TavStartupAgentLib::Failed) << "elevated " + command << -1;
}

void TestStartupAgent::createProcess()
{
    FakePlatform platform;
    QFETCH(int, service);
    QFETCH(bool, model);
    QFETCH(bool, dataWritable);
    QFETCH(bool, startAccepted);
    QFETCH(QString, start);
    platform.service = service;
    platform.elevationModel = model;
    platform.startAccepted = startAccepted;
    if (!dataWritable) {
        // A file where the data folder should be.
        QFile blocker(m_locations.dataDir);
        QVERIFY(QDir().mkpath(m_dir->filePath("data")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    TavStartupAgentLib agent(platform, m_locations);
    QTEST(agent.CreateProcessViaAgent("/opt/KRNotify", QString("/minimize /Service")), "result");
    QCOMPARE(platform.starts, start.isEmpty() ? QStringList() : QStringList{start});
    QTEST(eventValue(m_locations.eventName.toUtf8()), "event");

    // An auto-reset event: signalling twice before the agent wakes leaves one wake-up.
    if (service == TavStartupAgentLib::Running && dataWritable) {
        QCOMPARE(agent.CreateProcessViaAgent("/opt/KRNotify", QString("/x")),
                 int(TavStartupAgentLib::HandedToAgent));
        QCOMPARE(eventValue(m_locations.eventName.toUtf8()), 1);
        QCOMPARE(profile(m_locations.requestFile(), "AP1", "CmdLine"), QString("/x"));
    }

    // Refused at once, without any other step.
    platform.starts.clear();
    QCOMPARE(agent.CreateProcessViaAgent(QString(), std::nullopt), int(TavStartupAgentLib::Failed));
    QCOMPARE(agent.CreateProcessViaAgent("/opt/KRNotify", QString("")),
             int(TavStartupAgentLib::Failed));
    QVERIFY(platform.starts.isEmpty());
}

void TestStartupAgent::agentIsWokenAndReadsRequests()
{
    QProcess agentProcess;
    startHelper(agentProcess, {"agent", m_locations.requestFile(), m_locations.lockFile(),
                               m_locations.eventName});
    QCOMPARE(helperLine(agentProcess), QByteArray("waiting"));

    FakePlatform platform;
    platform.service = TavStartupAgentLib::Running;
    TavStartupAgentLib agent(platform, m_locations);
    // No command line given: the entry's CmdLine is empty.
    QCOMPARE(agent.CreateProcessViaAgent("/opt/KR Notify/KRNotify", std::nullopt),
             int(TavStartupAgentLib::HandedToAgent));

    QCOMPARE(helperLine(agentProcess), QByteArray("Count=1"));
    QCOMPARE(helperLine(agentProcess), QByteArray("AP0 /opt/KR Notify/KRNotify|"));
    QVERIFY(helperEnded(agentProcess));
    QCOMPARE(agentProcess.exitCode(), 0);
    QVERIFY(platform.starts.isEmpty());
}

void TestStartupAgent::systemdStates_data()
{
    QTest::addColumn<bool>("ran");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("state");

    const auto row = [](const char* load, const char* active, const char* freezer) -> QByteArray {
        return QByteArray("LoadState=") + load + "\nActiveState=" + active +
               "\nFreezerState=" + freezer + "\n";
    };
    QTest::newRow("running") << true << row("loaded", "active", "running")
                             << int(TavStartupAgentLib::Running);
    QTest::newRow("stopped") << true << row("loaded", "inactive", "running")
                             << int(TavStartupAgentLib::Stopped);
    QTest::newRow("failed") << true << row("loaded", "failed", "running")
                            << int(TavStartupAgentLib::Stopped);
    QTest::newRow("frozen") << true << row("loaded", "active", "frozen")
                            << int(TavStartupAgentLib::Paused);
    QTest::newRow("starting") << true << row("loaded", "activating", "running")
                              << int(TavStartupAgentLib::OtherState);
    QTest::newRow("not installed")
        << true << row("not-found", "inactive", "running") << int(TavStartupAgentLib::NotInstalled);
    QTest::newRow("no service manager")
        << false << QByteArray() << int(TavStartupAgentLib::ManagerUnavailable);
    QTest::newRow("garbage") << true << QByteArray("\x01\x02=\n=")
                             << int(TavStartupAgentLib::ManagerUnavailable);
}

void TestStartupAgent::systemdStates()
{
    QFETCH(bool, ran);
    QFETCH(QByteArray, output);
    QTEST(LinuxElevationPlatform::serviceStateFromSystemd(ran, output), "state");
}

QObject* makeStartupAgentTest()
{
    return new TestStartupAgent;
}

#include "tst_startupagent.moc"
