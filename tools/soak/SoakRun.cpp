#include "SoakRun.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

namespace Soak {

namespace {

constexpr int kFollowMs = 1000;
constexpr int kProgressMs = 60000;
constexpr int kExitWaitMs = 10000;
constexpr int kStartWaitMs = 15000;
const QString kUser = QStringLiteral("operator");
const QString kPassword = QStringLiteral("soak");

void say(const QString& text)
{
    QTextStream(stderr) << "soak: " << text << Qt::endl;
}

} // namespace

SoakRun::SoakRun(Settings settings, Programs programs, QString workDir, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_programs(std::move(programs)),
      m_workDir(std::move(workDir)),
      m_camera(m_programs.testCamera, QDir(m_workDir).filePath("camera.log")),
      m_program(m_programs.krnotify, m_workDir,
                [this](const QByteArray& line) { m_programSide.addLine(line); })
{
    connect(&m_follow, &QTimer::timeout, this, &SoakRun::followTrace);
    connect(&m_progress, &QTimer::timeout, this, &SoakRun::reportProgress);
}

SoakRun::~SoakRun()
{
    m_program.stop(kExitWaitMs);
    m_hosts.kill();
    m_hosts.waitForFinished(5000);
}

bool SoakRun::start(QString* error)
{
    if (!m_camera.start(error))
        return false;
    m_settings.rtspPort = m_camera.rtspPort();
    m_settings.httpPort = m_camera.httpPort();
    const Plan plan = Plan::make(m_settings);
    if (!startHosts(plan, error))
        return false;

    m_clock.start();
    m_program.start();
    scheduleCameraDeaths(plan);
    m_follow.start(kFollowMs);
    m_progress.start(kProgressMs);
    QTimer::singleShot(qint64(m_settings.seconds * 1000), this, &SoakRun::end);
    say(QStringLiteral("%1 hosts, %2 faults planned, %3 camera deaths; work folder %4")
            .arg(m_settings.hosts)
            .arg(plan.faults().size())
            .arg(plan.cameraDeaths().size())
            .arg(m_workDir));
    return true;
}

bool SoakRun::startHosts(const Plan& plan, QString* error)
{
    const QDir work(m_workDir);
    QFile scenario(work.filePath("scenario.json"));
    if (!scenario.open(QIODevice::WriteOnly) ||
        scenario.write(QJsonDocument(plan.scenario()).toJson()) < 0) {
        *error = QStringLiteral("cannot write %1").arg(scenario.fileName());
        return false;
    }
    scenario.close();

    QStringList args{"--scenario", scenario.fileName(), "--trace", work.filePath("trace.jsonl")};
    for (int h = 0; h < m_settings.hosts; ++h)
        args << "--port"
             << "0";
    m_hosts.setStandardErrorFile(work.filePath("hosts.log"));
    m_hosts.start(m_programs.hostSimulator, args);
    QList<int> ports;
    while (ports.size() < m_settings.hosts && m_hosts.waitForReadyRead(kStartWaitMs))
        while (m_hosts.canReadLine()) {
            const QByteArray line = m_hosts.readLine().trimmed();
            if (line.startsWith("port "))
                ports << line.mid(5).toInt();
        }
    if (ports.size() < m_settings.hosts) {
        *error = QStringLiteral("the host simulator did not start (log: %1)")
                     .arg(work.filePath("hosts.log"));
        return false;
    }
    m_trace = std::make_unique<LineFollower>(work.filePath("trace.jsonl"));
    for (int h = 0; h < ports.size(); ++h) {
        const int hostId = m_program.addHost(QStringLiteral("Soak Host %1").arg(h + 1), ports[h],
                                             kUser, kPassword, error);
        if (hostId < 0)
            return false;
        m_programSide.setHostPort(hostId, ports[h]);
    }
    return true;
}

void SoakRun::scheduleCameraDeaths(const Plan& plan)
{
    for (const CameraDeath& death : plan.cameraDeaths()) {
        QTimer::singleShot(qint64(death.at * 1000), this, [this] {
            m_camera.kill();
            ++m_figures.cameraDeaths;
        });
        QTimer::singleShot(qint64((death.at + death.downFor) * 1000), this, [this] {
            QString error;
            if (!m_camera.start(&error))
                say(error);
        });
    }
}

void SoakRun::followTrace()
{
    for (const QByteArray& line : m_trace->newLines())
        m_hostSide.add(QJsonDocument::fromJson(line).object());
    if (m_figures.before.residentKiB < 0 && m_hostSide.hostsLoggedIn() == m_settings.hosts)
        m_figures.before = ProcessUsage::of(m_program.processId());
}

void SoakRun::reportProgress()
{
    const ProcessUsage memory = ProcessUsage::of(m_program.processId());
    say(QStringLiteral("%1 min: %2 events sent, %3 shown, %4 reconnections, RSS %5 MiB")
            .arg((m_clock.elapsed() + 30000) / 60000)
            .arg(m_hostSide.sent().size())
            .arg(m_programSide.shown().size())
            .arg(m_hostSide.reconnections())
            .arg(double(memory.residentKiB) / 1024.0, 0, 'f', 1));
}

void SoakRun::end()
{
    m_follow.stop();
    m_progress.stop();
    m_figures.after = ProcessUsage::of(m_program.processId());
    for (QDirIterator it(m_program.snapshotFolder(), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        it.next();
        ++m_figures.snapshotFiles;
        m_figures.snapshotBytes += it.fileInfo().size();
    }
    m_figures.exitSeconds = m_program.stop(kExitWaitMs);
    m_figures.endMs = QDateTime::currentMSecsSinceEpoch();
    // The hosts are ended after the program, so that what the program answered last is traced.
    m_hosts.terminate();
    m_hosts.waitForFinished(5000);
    m_camera.kill();
    followTrace();

    m_figures.hosts = m_settings.hosts;
    m_figures.minutes = m_settings.seconds / 60.0;
    m_figures.eventsPerSecond = m_settings.eventsPerSecond;
    m_figures.seed = m_settings.seed;
    m_figures.crashes = m_program.crashes();
    m_figures.crashReports = m_program.crashReports();
    m_report = std::make_unique<SoakReport>(m_hostSide, m_programSide, m_figures);
    Q_EMIT finished();
}

} // namespace Soak
