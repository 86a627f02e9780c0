#include "shell/CTNClientTestApp.h"

#include "connection/HostListFile.h"
#include "i18n/StringTable.h"
#include "platform/ProgramPaths.h"
#include "shell/CommandLine.h"
#include "shell/ElevationPlatform.h"
#include "shell/FrameWindowChannel.h"
#include "shell/SingleInstanceLock.h"
#include "shell/StartupSequence.h"
#include "tray/CMainWindow.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/mainwindow/CTNClientTestDlg.h"
#include "video/CVideoSide.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTextStream>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "krnotify.app")

namespace {
constexpr const char* kAddHostOption = "--add-host";
constexpr const char* kVersion = KRNOTIFY_VERSION;

// SIGTERM and SIGINT end the program as the tray's exit does. The handler only writes the
// signal number into a socket pair; the event loop reads it and closes the frame.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    (void)written; // a full pipe already holds a pending request
}

bool InstallTerminationSignals(QObject* context, const std::function<void(int)>& onSignal)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onSignal] {
        char byte = 0;
        while (::read(g_signalPipe[1], &byte, 1) == 1)
            onSignal(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

const char* OutcomeName(StartupOutcome outcome)
{
    switch (outcome) {
    case StartupOutcome::Ended:
        return "ended";
    case StartupOutcome::HandedOver:
        return "handed over to the startup agent";
    case StartupOutcome::ActivatedRunning:
        return "activated the running instance";
    case StartupOutcome::ClosedRunning:
        return "closed the running instance";
    case StartupOutcome::RunningNotFound:
        return "another instance runs elsewhere";
    case StartupOutcome::Uninstalled:
        return "autorun removed";
    case StartupOutcome::Run:
        return "first instance";
    }
    return "?";
}
} // namespace

CTNClientTestApp::CTNClientTestApp() = default;

CTNClientTestApp::~CTNClientTestApp() = default;

QString CTNClientTestApp::HelpText()
{
    return QStringLiteral(
        "Usage: krnotify [/minimize] [/uninstall] [/Service]\n"
        "       krnotify --add-host NAME ADDRESS PORT USER PASSWORD\n"
        "       krnotify --version | --help\n"
        "\n"
        "  /minimize    start with only the tray icon (the window stays hidden)\n"
        "  /uninstall   remove the autostart entry, or end the running instance\n"
        "  /Service     a copy started by the startup agent (no hand-over)\n"
        "  --add-host   append a host to the host list and end\n"
        "  --version    show the name and version and end\n"
        "  --help       show this text\n"
        "\n"
        "Environment: KRNOTIFY_PROGRAM_DIR (program folder: string table, icons, host list),\n"
        "KRNOTIFY_SNAPSHOT_DIR, KRNOTIFY_LOCK_DIR and KRNOTIFY_FRAME_NAME (a private instance),\n"
        "KRNOTIFY_STATE_DIR (crash reports and audit trail),\n"
        "KRNOTIFY_LANGID (language), QT_LOGGING_RULES (e.g. \"krnotify.*.debug=false\").\n"
        "Manual: man krnotify\n");
}

int CTNClientTestApp::AddHost(const QStringList& values)
{
    if (values.size() != 5) {
        std::fprintf(stderr, "krnotify: %s needs NAME ADDRESS PORT USER PASSWORD\n",
                     kAddHostOption);
        return 2;
    }
    bool portOk = false;
    const int port = values.at(2).toInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        std::fprintf(stderr, "krnotify: the port must lie in 1..65535\n");
        return 2;
    }
    // A running instance writes its own list when it ends, which would drop the new host.
    SingleInstanceLock lock;
    if (!lock.create() || !lock.tryAcquire()) {
        std::fprintf(stderr, "krnotify: KRNotify is running; add the host from its window, or end "
                             "it first\n");
        return 1;
    }
    const QString path = HostListFile::DefaultPath();
    std::vector<HostListEntry> entries = HostListFile::Load(path);
    int highest = 0;
    for (const HostListEntry& entry : entries)
        highest = std::max(highest, entry.hostId);
    if (highest == std::numeric_limits<int>::max()) {
        std::fprintf(stderr, "krnotify: no host id left\n");
        return 1;
    }
    HostListEntry entry;
    entry.hostId = highest + 1;
    entry.name = values.at(0);
    entry.address = values.at(1);
    entry.port = port;
    entry.userName = values.at(3);
    entry.password = values.at(4);
    entries.push_back(entry);
    if (!HostListFile::Save(path, entries)) {
        std::fprintf(stderr, "krnotify: cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("host %d added to %s\n", entry.hostId, qPrintable(path));
    return 0;
}

bool CTNClientTestApp::InitInstance(const QStringList& arguments)
{
    const QString programPath = QCoreApplication::applicationFilePath();
    const CommandLine commandLine = CommandLine::fromArguments(programPath, arguments);
    m_platform = std::make_unique<LinuxElevationPlatform>();
    m_steps = std::make_unique<SystemStartupSteps>(*m_platform, ProgramPaths::stateDir());

    const StartupOutcome outcome = runStartup(programPath, commandLine, *m_steps);
    qCInfo(lcApp) << "start-up:" << OutcomeName(outcome);
    if (outcome != StartupOutcome::Run)
        return false;

    if (CStringTable::Instance().RightToLeft())
        QGuiApplication::setLayoutDirection(Qt::RightToLeft);

    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_frame = std::make_unique<CMainWindow>(std::make_unique<CTNClientTestDlg>(),
                                            commandLine.hasMinimize(), trayAvailable);
    if (!m_frame->Create()) {
        m_exitCode = 1;
        return false;
    }
    // The live view and the event list plug into the main dialog; both are its QObject children
    // and go with it.
    CTNClientTestDlg& dlg = m_frame->dialog();
    auto* video = new CVideoSide(dlg);
    video->setEventSide(new CEventSide(dlg, *video, &video->liveVideo()));
    // exit(), not quit(): quit() first asks every window to close, and the main dialog refuses
    // (closing it only hides it), which would cancel the end of the program.
    QObject::connect(
        m_frame.get(), &CMainWindow::closed, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);

    m_channel = std::make_unique<FrameWindowChannel>();
    if (m_channel->listen()) {
        QObject::connect(m_channel.get(), &FrameWindowChannel::activateRequested, m_frame.get(),
                         [this] {
                             qCInfo(lcApp) << "activate request from a second instance";
                             m_frame->Activate();
                         });
        QObject::connect(m_channel.get(), &FrameWindowChannel::closeRequested, m_frame.get(),
                         [this] {
                             qCInfo(lcApp) << "close request from a second instance";
                             m_frame->Close();
                         });
    } else {
        qCWarning(lcApp) << "frame channel not available: a second instance cannot reach us";
    }

    if (!InstallTerminationSignals(m_frame.get(), [this](int signalNumber) {
            qCInfo(lcApp) << "signal" << signalNumber << "received: ending";
            m_frame->Close();
        }))
        qCWarning(lcApp) << "SIGTERM/SIGINT handlers not installed";
    qCInfo(lcApp) << "running";
    return true;
}

int CTNClientTestApp::ExitInstance()
{
    // The frame goes first: the main dialog saves the host list, disconnects the hosts and
    // removes the snapshot folder.
    m_channel.reset();
    m_frame.reset();
    if (m_steps)
        m_steps->exitInstance();
    return m_exitCode;
}

int CTNClientTestApp::Run(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // Options that need no window are handled before any display is opened. What follows
    // --add-host is the host's values (a password may start with "--").
    const qsizetype addHost = arguments.indexOf(QLatin1String(kAddHostOption));
    const QStringList options = arguments.mid(0, addHost < 0 ? arguments.size() : addHost);
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h"))) {
        QTextStream(stdout) << HelpText();
        return 0;
    }
    if (options.contains(QLatin1String("--version"))) {
        QTextStream(stdout) << "KRNotify " << kVersion << '\n';
        return 0;
    }
    for (const QString& option : options) {
        if (option.startsWith(QLatin1String("--"))) {
            QTextStream(stderr) << "krnotify: unknown option " << option << "\n\n" << HelpText();
            return 2;
        }
    }
    if (addHost >= 0) {
        QCoreApplication core(argc, argv);
        return AddHost(arguments.mid(addHost + 1));
    }

    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{category}: %{message}"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRNotify"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    // Wayland shells match the window to its launcher by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KRNOTIFY_APP_ID));
    // The frame, not the last visible window, decides when the program ends.
    QApplication::setQuitOnLastWindowClosed(false);
    CStringTable::Instance(); // read before start-up: language and layout direction

    if (InitInstance(arguments))
        m_exitCode = application.exec();
    return ExitInstance();
}
