#pragma once

#include <QIcon>
#include <QString>

// The program's own pictures (toolbar, tray, window icons): SVG files in the "icons" folder of
// the program's resources, named by what they show.
namespace ProgramIcons {

enum Id
{
    Application = 128,
    TrayConnected = 151,
    TrayConnecting = 152,
    TrayDisconnected = 153,
    AddHost = 148,
    Speaker = 154,
    Microphone = 155,
    Intercom = 156,
    Processed = 157,
    Unlock = 158,
    Options = 162,
    StopRing = 166,
};

// Full path of the icon's file; empty for an unknown id.
QString Path(int id);
// The icon, or a null icon when its file is missing or unreadable.
QIcon Icon(int id);

} // namespace ProgramIcons
