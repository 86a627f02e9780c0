#pragma once

#include <QStringList>

#include <memory>

class CMainWindow;
class FrameWindowChannel;
class SystemStartupSteps;
class LinuxElevationPlatform;

// The application: start-up (single instance, switches, autorun, crash reports), the tray
// frame, and an orderly end on the tray's exit, a close request from a second instance, or
// SIGTERM / SIGINT.
class CTNClientTestApp
{
public:
    CTNClientTestApp();
    ~CTNClientTestApp();

    // The whole life of the process; returns its exit code.
    int Run(int argc, char** argv);

    // Start-up: true when the message loop is to run.
    bool InitInstance(const QStringList& arguments);
    // Releases what start-up registered; returns the exit code.
    int ExitInstance();

    static QString HelpText();
    // "--add-host NAME ADDRESS PORT USER PASSWORD": appends a host to the host list with the
    // next free id and ends (demo and installers); refused while an instance runs. Returns the
    // exit code.
    static int AddHost(const QStringList& values);

private:
    std::unique_ptr<LinuxElevationPlatform> m_platform;
    std::unique_ptr<SystemStartupSteps> m_steps;
    std::unique_ptr<CMainWindow> m_frame;
    std::unique_ptr<FrameWindowChannel> m_channel;
    int m_exitCode = 0;
};
