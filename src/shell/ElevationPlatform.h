#pragma once

#include <QString>

// What the startup-agent client needs from the operating system: the elevation model of the
// current process, the agent service's state, and starting a program.
class ElevationPlatform
{
public:
    enum class ElevationType
    {
        Default,
        Full,
        Limited,
        Other
    };
    struct ProcessElevation
    {
        bool known = false; // false: the process's elevation could not be read
        ElevationType type = ElevationType::Other;
        // Default: the user is an administrator. Limited: the linked full token is.
        bool administrator = false;
    };

    virtual ~ElevationPlatform();

    // False when the system has no split-token elevation at all: every process counts as
    // elevated, and a direct start is a plain one.
    virtual bool hasElevationModel() const = 0;
    virtual ProcessElevation processElevation() const = 0;
    // One of TavStartupAgentLib::ServiceState.
    virtual int serviceState(const QString& serviceName) const = 0;
    // Starts program with commandLine (the arguments, split by shell quoting rules), through
    // the elevation prompt when elevated is true. True when the start was accepted.
    virtual bool startProcess(const QString& program, const QString& commandLine,
                              bool elevated) = 0;
};

// Linux: no elevation model (the program runs as the desktop user); services are systemd
// units; an elevated start goes through pkexec.
class LinuxElevationPlatform : public ElevationPlatform
{
public:
    bool hasElevationModel() const override { return false; }
    ProcessElevation processElevation() const override { return {}; }
    int serviceState(const QString& serviceName) const override;
    bool startProcess(const QString& program, const QString& commandLine, bool elevated) override;

    // Maps the output of `systemctl show -p LoadState,ActiveState,FreezerState <unit>`.
    // started: systemctl ran and exited normally with code 0.
    static int serviceStateFromSystemd(bool started, const QByteArray& output);
};
