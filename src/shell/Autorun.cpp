#include "shell/Autorun.h"

#include "platform/ProgramPaths.h"
#include "shell/CommandLine.h"
#include "shell/ShellLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString Autorun::entryPath()
{
    return ProgramPaths::configHome() + QLatin1String("/autostart/") + QLatin1String(EntryName);
}

QString Autorun::execValue(const QString& programPath)
{
    QString quoted;
    for (const QChar c : programPath) {
        // Inside a quoted argument these four are taken literally only after a backslash.
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    QString value = QLatin1Char('"') + quoted + QLatin1String("\" ") +
                    QLatin1String(CommandLine::MinimizeSwitch);
    // The Exec key is a string value: its own backslashes are escaped once more, and "%"
    // would start a field code.
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('%'), QLatin1String("%%"));
    return value;
}

bool Autorun::write(const QString& programPath)
{
    const QString path = entryPath();
    if (programPath.isEmpty() || programPath.contains(QLatin1Char('\n')) ||
        programPath.contains(QLatin1Char('\r')) || programPath.contains(QChar(0))) {
        qCWarning(lcShell) << "autorun entry not written: unusable program path" << programPath;
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qCWarning(lcShell) << "autorun entry not written: cannot create"
                           << QFileInfo(path).absolutePath();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcShell) << "autorun entry not written:" << file.errorString();
        return false;
    }
    // Name and Icon are the launcher's, so the session's autostart settings show the program
    // as the menu does.
    const QString entry = QLatin1String("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=" KRNOTIFY_APP_NAME "\n"
                                        "Icon=" KRNOTIFY_APP_ID "\n"
                                        "Exec=") +
                          execValue(programPath) +
                          QLatin1String("\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n");
    file.write(entry.toUtf8());
    if (!file.commit()) {
        qCWarning(lcShell) << "autorun entry not written:" << file.errorString();
        return false;
    }
    return true;
}

bool Autorun::remove()
{
    const QString path = entryPath();
    QFile file(path);
    if (!file.exists() && !QFileInfo(path).isSymLink())
        return true;
    if (!file.remove()) {
        qCWarning(lcShell) << "autorun entry not removed:" << file.errorString();
        return false;
    }
    return true;
}
