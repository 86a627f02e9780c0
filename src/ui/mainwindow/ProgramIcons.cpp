#include "ui/mainwindow/ProgramIcons.h"

#include "platform/ProgramPaths.h"

#include <QFileInfo>

namespace ProgramIcons {

namespace {
const char* FileName(int id)
{
    switch (id) {
    case Application:
        return "krnotify.svg";
    case TrayConnected:
        return "tray-connected.svg";
    case TrayConnecting:
        return "tray-connecting.svg";
    case TrayDisconnected:
        return "tray-disconnected.svg";
    case AddHost:
        return "addhost.svg";
    case Speaker:
        return "speaker.svg";
    case Microphone:
        return "microphone.svg";
    case Intercom:
        return "intercom.svg";
    case Processed:
        return "door-locked.svg";
    case Unlock:
        return "door-unlocked.svg";
    case Options:
        return "options.svg";
    case StopRing:
        return "stop-ring.svg";
    default:
        return nullptr;
    }
}
} // namespace

QString Path(int id)
{
    const char* name = FileName(id);
    if (!name)
        return {};
    return ProgramPaths::resourceFile(QLatin1String("icons/") + QLatin1String(name));
}

QIcon Icon(int id)
{
    const QString path = Path(id);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    return QIcon(path);
}

} // namespace ProgramIcons
