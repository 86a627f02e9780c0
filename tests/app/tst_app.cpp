// The program as a process: switches, the single instance, the end of the program (SIGTERM,
// SIGINT, a closing second instance) and the crash report. Every run has private folders, so
// the machine-wide lock, the frame channel, the autostart entry and the host list are the
// test's own. Where the main dialog is comes from the program's log ("main dialog hidden /
// minimised / shown"): offscreen there is no system tray, so the no-tray rules apply.
#include "connection/HostListFile.h"
#include "harness/TrayScreen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kWaitMs = 15000;

// One machine for one test: its folders and the processes started on it.
class Sandbox
{
public:
    Sandbox()
    {
        for (const char* sub : {"prog", "home", "config", "runtime", "tmp", "lock"})
            QDir(m_dir.path()).mkpath(QLatin1String(sub));
        QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    }
    ~Sandbox()
    {
        for (auto& process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(kWaitMs);
            }
        }
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString& sub) const { return m_dir.filePath(sub); }
    QString hostList() const { return path("prog/KRNotifyHosts"); }
    QString autostartEntry() const { return path("config/autostart/KRNotify.desktop"); }
    QString snapshotFolder() const { return path("runtime/KRNotifyPic"); }
    QString frameSocket() const { return path("runtime/KRNotifyMainFrame"); }

    // extra: variables set on top (DISPLAY with QT_QPA_PLATFORM=xcb for a real screen).
    QProcess& start(const QStringList& arguments, const QProcessEnvironment& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"KRNOTIFY_SNAPSHOT_DIR", "KRNOTIFY_STATE_DIR", "KRNOTIFY_FRAME_NAME", "DISPLAY",
              "WAYLAND_DISPLAY", "QT_LOGGING_RULES"})
            env.remove(QLatin1String(name));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.insert("TMPDIR", path("tmp"));
        env.insert("KRNOTIFY_PROGRAM_DIR", path("prog"));
        env.insert("KRNOTIFY_LOCK_DIR", path("lock"));
        for (const QString& name : extra.keys())
            env.insert(name, extra.value(name));
        m_processes.push_back(std::make_unique<QProcess>());
        QProcess& process = *m_processes.back();
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KRNOTIFY_EXE), arguments);
        return process;
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Waits until the process's stderr holds the text; returns everything read so far.
bool WaitForLog(QProcess& process, const QString& text, QString* all = nullptr)
{
    QString log = process.property("log").toString();
    QElapsedTimer timer;
    timer.start();
    while (!log.contains(text) && timer.elapsed() < kWaitMs) {
        if (!process.waitForReadyRead(200) && process.state() == QProcess::NotRunning) {
            log += QString::fromLocal8Bit(process.readAllStandardError());
            break;
        }
        log += QString::fromLocal8Bit(process.readAllStandardError());
    }
    process.setProperty("log", log);
    if (all)
        *all = log;
    if (!log.contains(text))
        qWarning().noquote() << "waited for" << text << "in:\n" << log;
    return log.contains(text);
}

QString AllLog(QProcess& process)
{
    const QString log =
        process.property("log").toString() + QString::fromLocal8Bit(process.readAllStandardError());
    process.setProperty("log", log);
    return log;
}

// The end of start-up: the frame channel listens and SIGTERM / SIGINT are handled.
bool IsRunning(QProcess& process)
{
    return WaitForLog(process, QStringLiteral("krnotify.app: running"));
}

bool Ends(QProcess& process)
{
    return process.waitForFinished(kWaitMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// True when the process no longer runs: no entry in /proc, or one in state Z.
bool HasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
}

HostListEntry DemoHost()
{
    HostListEntry entry;
    entry.hostId = 1;
    entry.name = QStringLiteral("Demo");
    entry.address = QStringLiteral("127.0.0.1");
    entry.port = 1; // nobody listens: the host stays disconnected
    entry.userName = QStringLiteral("operator");
    entry.password = QStringLiteral("demo");
    return entry;
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void help();
    void versionAndUnknownOptionsNeedNoDisplay_data();
    void versionAndUnknownOptionsNeedNoDisplay();
    void addHostWritesTheList();
    void startShowsOrMinimises_data();
    void startShowsOrMinimises();
    void minimizeWithTrayStaysHidden();
    void secondStartActivatesTheFirst();
    void uninstallClosesTheRunningInstance();
    void uninstallAloneRemovesAutostart();
    void signalEndsLikeExit_data();
    void signalEndsLikeExit();
    void crashWritesReportBesideTheProgram();
};

void TestApp::help()
{
    Sandbox box;
    QProcess& p = box.start({"--help"});
    QVERIFY(Ends(p));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* word : {"/minimize", "/uninstall", "/Service", "--add-host"})
        QVERIFY2(out.contains(QLatin1String(word)), word);
    QVERIFY(!QFile::exists(box.autostartEntry())); // nothing started
}

void TestApp::versionAndUnknownOptionsNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutText");
    QTest::addColumn<QString>("stderrText");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "KRNotify " KRNOTIFY_VERSION "\n"
                               << "";
    QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << ""
                             << "Usage: krnotify";
    QTest::newRow("unknown after a switch") << QStringList{"/minimize", "--versio"} << 2 << ""
                                            << "unknown option --versio";
}

void TestApp::versionAndUnknownOptionsNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutText);
    QFETCH(QString, stderrText);
    Sandbox box;
    // A real platform plugin without a display: opening a window would abort the program.
    QProcessEnvironment noDisplay;
    noDisplay.insert("QT_QPA_PLATFORM", "xcb");
    QProcess& p = box.start(arguments, noDisplay);
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    if (stdoutText.isEmpty())
        QVERIFY2(out.isEmpty(), qPrintable(out));
    else
        QCOMPARE(out, stdoutText);
    QVERIFY2(err.contains(stderrText), qPrintable(err));
    QVERIFY(!QFile::exists(box.autostartEntry())); // nothing started
}

void TestApp::addHostWritesTheList()
{
    Sandbox box;
    QVERIFY(HostListFile::Save(box.hostList(), {DemoHost()}));
    QProcess& p = box.start({"--add-host", "Second", "10.1.2.3", "4000", "op", "pw"});
    QVERIFY(Ends(p));
    const std::vector<HostListEntry> hosts = HostListFile::Load(box.hostList());
    QCOMPARE(int(hosts.size()), 2);
    QCOMPARE(hosts.back().hostId, 2);
    QCOMPARE(hosts.back().address, QStringLiteral("10.1.2.3"));
    QCOMPARE(hosts.back().port, 4000);

    QProcess& bad = box.start({"--add-host", "X", "h", "65536", "u", "p"});
    QVERIFY(bad.waitForFinished(kWaitMs));
    QCOMPARE(bad.exitCode(), 2);
    QCOMPARE(int(HostListFile::Load(box.hostList()).size()), 2);

    // Refused while an instance runs: it would write its own list over the new host.
    QProcess& running = box.start({"/minimize"});
    QVERIFY(IsRunning(running));
    QProcess& refused = box.start({"--add-host", "Third", "10.1.2.4", "4000", "op", "pw"});
    QVERIFY(refused.waitForFinished(kWaitMs));
    QCOMPARE(refused.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(refused.readAllStandardError()).contains("is running"));
    ::kill(pid_t(running.processId()), SIGTERM);
    QVERIFY(Ends(running));
    QCOMPARE(int(HostListFile::Load(box.hostList()).size()), 2);
}

void TestApp::startShowsOrMinimises_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("state");
    QTest::newRow("plain") << QStringList{} << "main dialog shown ( created )";
    // No tray here: "/minimize" leaves the window minimised rather than out of reach.
    QTest::newRow("/minimize") << QStringList{"/minimize"} << "main dialog minimised ( created )";
    QTest::newRow("/minimize in the middle")
        << QStringList{"x/minimizey"} << "main dialog minimised ( created )";
}

void TestApp::startShowsOrMinimises()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, state);
    Sandbox box;
    QProcess& p = box.start(arguments);
    QVERIFY(WaitForLog(p, state));
    QVERIFY(WaitForLog(p, "start-up: first instance"));
    QVERIFY(IsRunning(p));
    // The autostart entry is written by every first instance, with "/minimize".
    QFile entry(box.autostartEntry());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray exec = QByteArray("Exec=\"") + KRNOTIFY_EXE + "\" /minimize";
    QVERIFY(entry.readAll().contains(exec));
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(Ends(p));
}

void TestApp::minimizeWithTrayStaysHidden()
{
    TrayScreen screen;
    if (!screen.isValid())
        QSKIP("needs Xvfb and trayer (scripts/setup installs both)");
    Sandbox box;
    // The tray takes a moment to claim its place on a fresh screen: a start that found none is
    // ended and made again.
    QProcess* first = nullptr;
    for (int attempt = 0; attempt < 5 && !first; ++attempt) {
        QProcess& p = box.start({"/minimize"}, screen.environment());
        QVERIFY(WaitForLog(p, "main dialog"));
        QVERIFY(IsRunning(p));
        if (!AllLog(p).contains("no system tray")) {
            first = &p;
            break;
        }
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(Ends(p));
        QThread::msleep(300);
    }
    QVERIFY2(first, "no system tray on the Xvfb screen");
    QVERIFY(AllLog(*first).contains("main dialog hidden ( created )"));

    // A second start brings the window.
    QProcess& second = box.start({}, screen.environment());
    QVERIFY(Ends(second));
    QVERIFY(WaitForLog(*first, "main dialog shown ( activated )"));
    ::kill(pid_t(first->processId()), SIGTERM);
    QVERIFY(Ends(*first));
}

void TestApp::secondStartActivatesTheFirst()
{
    Sandbox box;
    QProcess& first = box.start({"/minimize"});
    QVERIFY(WaitForLog(first, "main dialog minimised ( created )"));
    QVERIFY(IsRunning(first));

    QProcess& second = box.start({});
    QVERIFY(Ends(second));
    QVERIFY(AllLog(second).contains("start-up: activated the running instance"));
    QVERIFY(!AllLog(second).contains("main dialog")); // no window of its own
    QVERIFY(WaitForLog(first, "main dialog shown ( activated )"));
    QCOMPARE(first.state(), QProcess::Running);

    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(Ends(first));
}

void TestApp::uninstallClosesTheRunningInstance()
{
    Sandbox box;
    QProcess& first = box.start({});
    QVERIFY(WaitForLog(first, "main dialog shown"));
    QVERIFY(IsRunning(first));
    QVERIFY(QFile::exists(box.autostartEntry()));

    QProcess& second = box.start({"/uninstall"});
    QVERIFY(Ends(second));
    QVERIFY(AllLog(second).contains("start-up: closed the running instance"));
    // The second ends only after the first has ended (gone, or a zombie not yet reaped).
    QVERIFY(HasEnded(first.processId()));
    QVERIFY(Ends(first));
    QVERIFY(AllLog(first).contains("close request from a second instance"));
    QVERIFY(!QFile::exists(box.snapshotFolder()));
    // The running instance owned the entry: it stays.
    QVERIFY(QFile::exists(box.autostartEntry()));
}

void TestApp::uninstallAloneRemovesAutostart()
{
    Sandbox box;
    QProcess& first = box.start({});
    QVERIFY(WaitForLog(first, "main dialog shown"));
    QVERIFY(IsRunning(first));
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(Ends(first));
    QVERIFY(QFile::exists(box.autostartEntry()));

    QProcess& uninstall = box.start({"/uninstall"});
    QVERIFY(Ends(uninstall));
    const QString log = AllLog(uninstall);
    QVERIFY(log.contains("start-up: autorun removed"));
    QVERIFY(!log.contains("main dialog")); // no window
    QVERIFY(!QFile::exists(box.autostartEntry()));
}

void TestApp::signalEndsLikeExit_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestApp::signalEndsLikeExit()
{
    QFETCH(int, signalNumber);
    Sandbox box;
    QVERIFY(HostListFile::Save(box.hostList(), {DemoHost()}));
    QProcess& p = box.start({"/minimize"});
    QVERIFY(WaitForLog(p, "main dialog minimised"));
    QVERIFY(IsRunning(p));
    QVERIFY(QFileInfo(box.snapshotFolder()).isDir());
    QVERIFY(QFile::exists(box.frameSocket()));
    // The list is written again at the end: take it away to see that.
    QVERIFY(QFile::remove(box.hostList()));

    ::kill(pid_t(p.processId()), signalNumber);
    QVERIFY(Ends(p));
    QVERIFY(AllLog(p).contains("frame closing"));
    const std::vector<HostListEntry> saved = HostListFile::Load(box.hostList());
    QCOMPARE(int(saved.size()), 1);
    QCOMPARE(saved.front(), DemoHost());
    QVERIFY(!QFile::exists(box.snapshotFolder()));
    QVERIFY(!QFile::exists(box.frameSocket()));

    // The lock went with the process: the next start is a first instance again.
    QProcess& next = box.start({"/minimize"});
    QVERIFY(WaitForLog(next, "start-up: first instance"));
    QVERIFY(IsRunning(next));
    ::kill(pid_t(next.processId()), SIGTERM);
    QVERIFY(Ends(next));
}

void TestApp::crashWritesReportBesideTheProgram()
{
    Sandbox box;
    QProcess& p = box.start({"/minimize"});
    QVERIFY(WaitForLog(p, "main dialog minimised"));
    QVERIFY(IsRunning(p));
    ::kill(pid_t(p.processId()), SIGSEGV);
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit); // the report is written, the crash goes on

    const QStringList reports =
        QDir(box.path("prog/Exception")).entryList({"KRNotify_*.dmp"}, QDir::Files);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(QRegularExpression("^KRNotify_\\d{14}\\.dmp$").match(reports.first()).hasMatch(),
             qPrintable(reports.first()));
    QVERIFY(QFileInfo(box.path("prog/Exception/") + reports.first()).size() > 0);

    // A crashed instance holds nothing: the next start is a first instance.
    QProcess& next = box.start({"/minimize"});
    QVERIFY(WaitForLog(next, "start-up: first instance"));
    QVERIFY(IsRunning(next));
    ::kill(pid_t(next.processId()), SIGTERM);
    QVERIFY(Ends(next));
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
