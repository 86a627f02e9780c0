#include "shell/ElevationPlatform.h"

#include "shell/ShellLog.h"
#include "shell/TavStartupAgentLib.h"

#include <QProcess>

ElevationPlatform::~ElevationPlatform() = default;

int LinuxElevationPlatform::serviceState(const QString& serviceName) const
{
    QProcess systemctl;
    systemctl.start(QStringLiteral("systemctl"),
                    {QStringLiteral("show"),
                     QStringLiteral("--property=LoadState,ActiveState,FreezerState"),
                     QStringLiteral("--"), serviceName + QLatin1String(".service")});
    bool ran = systemctl.waitForStarted(5000) && systemctl.waitForFinished(5000);
    if (!ran)
        systemctl.kill();
    ran = ran && systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
    return serviceStateFromSystemd(ran, ran ? systemctl.readAllStandardOutput() : QByteArray());
}

int LinuxElevationPlatform::serviceStateFromSystemd(bool started, const QByteArray& output)
{
    if (!started)
        return TavStartupAgentLib::ManagerUnavailable;
    QByteArray load, active, freezer;
    for (const QByteArray& line : output.split('\n')) {
        const int equals = line.indexOf('=');
        const QByteArray key = line.left(equals), value = line.mid(equals + 1).trimmed();
        if (key == "LoadState")
            load = value;
        else if (key == "ActiveState")
            active = value;
        else if (key == "FreezerState")
            freezer = value;
    }
    if (load.isEmpty())
        return TavStartupAgentLib::ManagerUnavailable;
    if (load != "loaded")
        return TavStartupAgentLib::NotInstalled;
    if (freezer == "frozen")
        return TavStartupAgentLib::Paused;
    if (active == "active" || active == "reloading")
        return TavStartupAgentLib::Running;
    if (active == "inactive" || active == "failed")
        return TavStartupAgentLib::Stopped;
    return TavStartupAgentLib::OtherState;
}

bool LinuxElevationPlatform::startProcess(const QString& program, const QString& commandLine,
                                          bool elevated)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (!elevated)
        return QProcess::startDetached(program, arguments);
    arguments.prepend(program);
    return QProcess::startDetached(QStringLiteral("pkexec"), arguments);
}
