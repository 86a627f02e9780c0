#pragma once

#include "minidump/MiniDump.h"
#include "shell/CommandLine.h"
#include "shell/FrameWindowChannel.h"
#include "shell/SingleInstanceLock.h"

#include <QString>

#include <ctime>
#include <memory>

// How a start ends, up to the point where the tray frame would be created.
enum class StartupOutcome
{
    Ended,            // program path unreadable, or no single-instance lock at all
    HandedOver,       // not elevated and no "/Service": the startup agent starts a copy
    ActivatedRunning, // second instance: the running one was brought to the front
    ClosedRunning,    // second instance with "/uninstall": the running one has ended
    RunningNotFound,  // second instance, but no running instance answered here
    Uninstalled,      // first instance with "/uninstall": autorun removed
    Run               // first instance: create the tray frame and run
};

// The system actions start-up takes, one call per step, so the order can be tested.
class StartupSteps
{
public:
    virtual ~StartupSteps();
    virtual bool isElevated() = 0;
    virtual void handOver(const QString& programPath, const QString& command) = 0;
    virtual bool createInstanceLock() = 0;
    virtual bool tryOwnInstanceLock() = 0;
    virtual FrameWindowChannel::Answer askRunningInstance(FrameWindowChannel::Request request) = 0;
    virtual void registerCrashFilter() = 0;
    virtual void writeAutorun(const QString& programPath) = 0;
    virtual void removeAutorun() = 0;
};

// Runs start-up: hand-over, single instance, second-instance requests, crash filter and
// autorun. programPath is empty when it could not be read.
StartupOutcome runStartup(const QString& programPath, const CommandLine& commandLine,
                          StartupSteps& steps);

class ElevationPlatform;

// The real steps. Holds what must live as long as the process: the single-instance lock and
// the crash filter (released by exitInstance()).
class SystemStartupSteps : public StartupSteps
{
public:
    // reportFolder: where "Exception/" goes (ProgramPaths::stateDir()).
    SystemStartupSteps(ElevationPlatform& platform, const QString& reportFolder);
    ~SystemStartupSteps() override;

    bool isElevated() override;
    void handOver(const QString& programPath, const QString& command) override;
    bool createInstanceLock() override;
    bool tryOwnInstanceLock() override;
    FrameWindowChannel::Answer askRunningInstance(FrameWindowChannel::Request request) override;
    void registerCrashFilter() override;
    void writeAutorun(const QString& programPath) override;
    void removeAutorun() override;

    ExceptionFilterHandle crashFilterHandle() const { return m_crashFilter; }
    // Unregisters the crash filter (0 when none was registered).
    void exitInstance();

    // Fills the record for reportPath; false (and a log line) when the path does not fit:
    // a cut path could name another file, so nothing is registered then.
    static bool fillRecord(ExceptionFilterRecord& record, const QString& reportPath);

private:
    ElevationPlatform& m_platform;
    QString m_reportFolder;
    SingleInstanceLock m_lock;
    ExceptionFilterHandle m_crashFilter = 0;
};
