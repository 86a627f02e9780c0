#pragma once

#include <QString>

// Start at logon, minimised: the XDG autostart entry "KRNotify.desktop" in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset). Failures are logged and
// otherwise ignored: start-up goes on either way.
class Autorun
{
public:
    static constexpr const char* EntryName = "KRNotify.desktop";

    static QString entryPath();
    // The Exec value: the program path as one quoted argument, then "/minimize", escaped by
    // the Desktop Entry rules (quoting, then the string escape, then "%" doubled).
    static QString execValue(const QString& programPath);

    // Writes (replaces) the entry. False when it could not be written, or when the path holds
    // a character an entry cannot carry (a line break, NUL).
    static bool write(const QString& programPath);
    // Removes the entry; true when it is gone (also when there was none).
    static bool remove();
};
