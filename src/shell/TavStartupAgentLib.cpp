#include "shell/TavStartupAgentLib.h"

#include "platform/ProfileFile.h"
#include "shell/ElevationPlatform.h"
#include "shell/LockFile.h"
#include "shell/ShellLog.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>

namespace {

const char* const StartupSection = "Startup";
const char* const CountKey = "Count";
const char* const EntryPrefix = "AP";

} // namespace

AgentLocations AgentLocations::fromEnvironment()
{
    AgentLocations locations;
    locations.dataDir = qEnvironmentVariable("KRNOTIFY_AGENT_DATA_DIR");
    if (locations.dataDir.isEmpty())
        locations.dataDir = QStringLiteral("/var/lib/Tavrin");
    locations.lockDir = LockFile::machineTempDir();
    locations.eventName = qEnvironmentVariable("KRNOTIFY_AGENT_EVENT");
    if (locations.eventName.isEmpty())
        locations.eventName = QStringLiteral("/TaveEvent_StartupAgent_CreateProcess");
    return locations;
}

QString AgentLocations::requestFile() const
{
    return dataDir + QLatin1Char('/') + QLatin1String(TavStartupAgentLib::RequestFileName);
}

QString AgentLocations::lockFile() const
{
    return lockDir + QLatin1String("/TavMutex_StartupAgent_StartupIni.lock");
}

TavStartupAgentLib::TavStartupAgentLib(ElevationPlatform& platform, AgentLocations locations)
    : m_platform(platform), m_locations(std::move(locations))
{
}

bool TavStartupAgentLib::IsElevationProcess() const
{
    if (!m_platform.hasElevationModel()) {
        qCDebug(lcStartupAgent,
                "[TavStartupAgentLib] IsElevationProcess - Windows is Vista or Older.");
        return true;
    }
    const ElevationPlatform::ProcessElevation elevation = m_platform.processElevation();
    if (!elevation.known) {
        qCDebug(lcStartupAgent,
                "[TavStartupAgentLib] IsElevationProcess - GetProcessElevationInfo Fail !");
        return false;
    }
    switch (elevation.type) {
    case ElevationPlatform::ElevationType::Default:
        qCDebug(lcStartupAgent, "[TavStartupAgentLib] IsElevationProcess - GetProcessElevationInfo "
                                "is TokenElevationTypeDefault.");
        return elevation.administrator;
    case ElevationPlatform::ElevationType::Full:
        qCDebug(lcStartupAgent, "[TavStartupAgentLib] IsElevationProcess - GetProcessElevationInfo "
                                "is TokenElevationTypeFull.");
        return true;
    case ElevationPlatform::ElevationType::Limited:
        qCDebug(lcStartupAgent, "[TavStartupAgentLib] IsElevationProcess - GetProcessElevationInfo "
                                "is TokenElevationTypeLimited.");
        return false;
    case ElevationPlatform::ElevationType::Other:
        break;
    }
    qCDebug(lcStartupAgent,
            "[TavStartupAgentLib] IsElevationProcess - GetProcessElevationInfo is UnKnow.");
    return false;
}

int TavStartupAgentLib::QueryAgentServiceState(const QString& serviceName) const
{
    return m_platform.serviceState(serviceName);
}

int TavStartupAgentLib::CreateProcessViaAgent(const QString& programPath,
                                              const std::optional<QString>& commandLine)
{
    if (programPath.isEmpty() || (commandLine && commandLine->isEmpty()))
        return Failed;
    const QString arguments = commandLine.value_or(QString());
    if (QueryAgentServiceState(QLatin1String(ServiceName)) == Running &&
        writeRequest(programPath, arguments)) {
        if (signalAgent(m_locations.eventName))
            return HandedToAgent;
        qCDebug(lcStartupAgent) << "[TavStartupAgentLib] the agent's event cannot be signalled";
    }
    return startDirectly(programPath, arguments);
}

bool TavStartupAgentLib::writeRequest(const QString& programPath, const QString& commandLine)
{
    LockFile requestLock(m_locations.lockFile());
    if (!requestLock.open() || !requestLock.lock())
        return false;
    QDir().mkpath(m_locations.dataDir);
    return appendRequest(m_locations.requestFile(), programPath, commandLine);
    // requestLock is released when it goes out of scope
}

bool TavStartupAgentLib::appendRequest(const QString& requestFile, const QString& programPath,
                                       const QString& commandLine)
{
    const int count = qMax(0, ProfileFile::readInt(requestFile, QLatin1String(StartupSection),
                                                   QLatin1String(CountKey), 0));
    const QString entry = QLatin1String(EntryPrefix) + QString::number(count);
    return ProfileFile::writeString(requestFile, entry, QStringLiteral("ExePath"), programPath) &&
           ProfileFile::writeString(requestFile, entry, QStringLiteral("CmdLine"), commandLine) &&
           ProfileFile::writeInt(requestFile, QLatin1String(StartupSection),
                                 QLatin1String(CountKey), count + 1);
}

bool TavStartupAgentLib::signalAgent(const QString& eventName)
{
    const QByteArray name = eventName.toUtf8();
    sem_t* event = sem_open(name.constData(), O_CREAT | O_EXCL, 0666, 0);
    if (event != SEM_FAILED) {
        // sem_open applies the umask; the agent and other users must be able to open it.
        const QByteArray file = "/dev/shm/sem." + name.mid(name.startsWith('/') ? 1 : 0);
        ::chmod(file.constData(), 0666);
    } else if (errno == EEXIST) {
        event = sem_open(name.constData(), 0);
    }
    if (event == SEM_FAILED)
        return false;
    int value = 0;
    bool signalled = sem_getvalue(event, &value) == 0 && (value > 0 || sem_post(event) == 0);
    sem_close(event);
    return signalled;
}

int TavStartupAgentLib::startDirectly(const QString& programPath, const QString& commandLine)
{
    const bool elevated = m_platform.hasElevationModel();
    return m_platform.startProcess(programPath, commandLine, elevated) ? StartedDirectly : Failed;
}
