#pragma once

#include <QString>

// Where the program's files are: read-only resources beside the program (or in the installed
// share folder), files the program writes, and the private snapshot folder.
class ProgramPaths
{
public:
    // The folder of the executable; KRNOTIFY_PROGRAM_DIR overrides it (tests, portable use).
    static QString programDir();
    // The installed share folder that belongs to programDir() (".../bin" -> ".../share/krnotify").
    static QString installedDataDir();
    // True when installedDataDir() exists: the program runs from an installation, not from a
    // build folder or a portable folder.
    static bool isInstalled();
    // The first existing of programDir()/name, installedDataDir()/name and, for a program that
    // is not installed, the source tree's resources/name (developer builds). An installed
    // program never reads the source tree, so a file missing from the package shows.
    // programDir()/name when none exists.
    static QString resourceFile(const QString& name);
    // Host list and options. Installed: $XDG_CONFIG_HOME/KRNotify. Otherwise programDir() when
    // the user may write there, else the same config folder. Created with mode 0700.
    static QString writableDataDir();
    // The options file "KRNotify.ini" in writableDataDir().
    static QString optionsFile();
    // What the program keeps of its own history: the "Exception" folder of crash reports and the
    // "Audit" folder of the audit trail. Installed: $XDG_STATE_HOME/KRNotify (created 0700);
    // otherwise writableDataDir(). KRNOTIFY_STATE_DIR overrides it (tests, portable use).
    static QString stateDir();
    // $XDG_CONFIG_HOME, or ~/.config when it is unset or relative (the base-directory rules).
    static QString configHome();
    // "<private folder>/KRNotifyPic": the private folder is $XDG_RUNTIME_DIR when it is ours
    // with mode 0700, else <temp>/krnotify-<uid> created 0700, else a fresh mkdtemp folder.
    // A folder that is a symbolic link or belongs to another user is never used.
    // KRNOTIFY_SNAPSHOT_DIR overrides the whole path. The folder itself is created (0700).
    static QString snapshotRoot();
    // Deletes snapshotRoot() with everything in it, never following a symbolic link.
    static bool removeSnapshotRoot();
};
