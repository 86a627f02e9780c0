#pragma once

#include <QString>

#include <optional>

class ElevationPlatform;

// Where the startup agent and its clients meet.
struct AgentLocations
{
    // "<machine-wide application data>/Tavrin": /var/lib/Tavrin; KRNOTIFY_AGENT_DATA_DIR
    // overrides it. There is deliberately no fallback into a world-writable folder: a request
    // file another user could plant would let that user choose what the agent starts.
    QString dataDir;
    // Folder of the request lock file "TavMutex_StartupAgent_StartupIni.lock".
    QString lockDir;
    // POSIX semaphore that wakes the agent: "/TaveEvent_StartupAgent_CreateProcess";
    // KRNOTIFY_AGENT_EVENT overrides it.
    QString eventName;

    static AgentLocations fromEnvironment();
    QString requestFile() const;
    QString lockFile() const;
};

// The startup-agent client: starts a program elevated for the interactive user, through the
// agent service "TavStartupAgent" when it runs, or directly otherwise.
class TavStartupAgentLib
{
public:
    enum Result
    {
        Failed = 0,
        HandedToAgent = 2,
        StartedDirectly = 3
    };
    enum ServiceState
    {
        NotInstalled = 0,
        Stopped = 1,
        Running = 2,
        Paused = 3,
        OtherState = 4,
        ManagerUnavailable = 5
    };
    static constexpr const char* ServiceName = "TavStartupAgent";
    static constexpr const char* RequestFileName = "TavStartupAgent.ini";

    explicit TavStartupAgentLib(ElevationPlatform& platform,
                                AgentLocations locations = AgentLocations::fromEnvironment());

    // Whether the process runs with full administrative rights; logs its reasoning.
    bool IsElevationProcess() const;
    // Starts programPath with commandLine (no value: none). Returns a Result. A missing
    // program path or a given but empty command line fails at once.
    int CreateProcessViaAgent(const QString& programPath,
                              const std::optional<QString>& commandLine);
    int QueryAgentServiceState(const QString& serviceName) const;

    // Appends one entry "AP<n>" (n = "Count" of "Startup", a negative value read as 0) and
    // raises "Count". True only when all three writes succeeded; a failed write skips the
    // rest. The caller holds the request lock.
    static bool appendRequest(const QString& requestFile, const QString& programPath,
                              const QString& commandLine);
    // Wakes the agent: like an auto-reset event, a wake-up not yet taken is not doubled.
    static bool signalAgent(const QString& eventName);

private:
    bool writeRequest(const QString& programPath, const QString& commandLine);
    int startDirectly(const QString& programPath, const QString& commandLine);

    ElevationPlatform& m_platform;
    AgentLocations m_locations;
};
