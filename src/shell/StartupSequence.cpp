#include "shell/StartupSequence.h"

#include "shell/Autorun.h"
#include "shell/CrashReportPath.h"
#include "shell/ElevationPlatform.h"
#include "shell/ShellLog.h"
#include "shell/TavStartupAgentLib.h"

StartupSteps::~StartupSteps() = default;

StartupOutcome runStartup(const QString& programPath, const CommandLine& commandLine,
                          StartupSteps& steps)
{
    if (programPath.isEmpty())
        return StartupOutcome::Ended;

    // The hand-over comes before the single-instance check: the elevated copy does that.
    const bool elevated = steps.isElevated();
    if (!elevated && !commandLine.hasService()) {
        steps.handOver(programPath, commandLine.handOverCommand());
        return StartupOutcome::HandedOver;
    }

    if (!steps.createInstanceLock())
        return StartupOutcome::Ended;
    const bool uninstall = commandLine.hasUninstall();

    if (!steps.tryOwnInstanceLock()) {
        const auto request =
            uninstall ? FrameWindowChannel::Request::Close : FrameWindowChannel::Request::Activate;
        switch (steps.askRunningInstance(request)) {
        case FrameWindowChannel::Answer::Activated:
            return StartupOutcome::ActivatedRunning;
        case FrameWindowChannel::Answer::Closed:
            return StartupOutcome::ClosedRunning;
        case FrameWindowChannel::Answer::NotFound:
        case FrameWindowChannel::Answer::NoReply:
            break;
        }
        return StartupOutcome::RunningNotFound;
    }

    steps.registerCrashFilter();
    if (uninstall) {
        steps.removeAutorun();
        return StartupOutcome::Uninstalled;
    }
    steps.writeAutorun(programPath);
    return StartupOutcome::Run;
}

SystemStartupSteps::SystemStartupSteps(ElevationPlatform& platform, const QString& reportFolder)
    : m_platform(platform), m_reportFolder(reportFolder)
{
}

SystemStartupSteps::~SystemStartupSteps() = default;

bool SystemStartupSteps::isElevated()
{
    return TavStartupAgentLib(m_platform).IsElevationProcess();
}

void SystemStartupSteps::handOver(const QString& programPath, const QString& command)
{
    // Start-up ends whatever the launch reports.
    TavStartupAgentLib(m_platform).CreateProcessViaAgent(programPath, command);
}

bool SystemStartupSteps::createInstanceLock()
{
    return m_lock.create();
}

bool SystemStartupSteps::tryOwnInstanceLock()
{
    return m_lock.tryAcquire();
}

FrameWindowChannel::Answer
SystemStartupSteps::askRunningInstance(FrameWindowChannel::Request request)
{
    return FrameWindowChannel::ask(request);
}

bool SystemStartupSteps::fillRecord(ExceptionFilterRecord& record, const QString& reportPath)
{
    record = ExceptionFilterRecord();
    if (record.setPath(reportPath.toUtf8().constData()))
        return true;
    qCWarning(lcShell) << "crash reports disabled: path longer than"
                       << ExceptionFilterRecord::PathCapacity - 1 << "bytes:" << reportPath;
    return false;
}

void SystemStartupSteps::registerCrashFilter()
{
    if (m_reportFolder.isEmpty())
        return;
    ExceptionFilterRecord record;
    if (!fillRecord(record, CrashReportPath::prepare(m_reportFolder, std::time(nullptr))))
        return;
    m_crashFilter = RegisterExceptionFilter(record);
}

void SystemStartupSteps::writeAutorun(const QString& programPath)
{
    Autorun::write(programPath);
}

void SystemStartupSteps::removeAutorun()
{
    Autorun::remove();
}

void SystemStartupSteps::exitInstance()
{
    UnregisterExceptionFilter(m_crashFilter);
    m_crashFilter = 0;
}
