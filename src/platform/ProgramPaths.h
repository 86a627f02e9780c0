#pragma once

#include <QString>

// Where the program's files are: read-only resources beside the program (or in the installed
// share folder), files the program writes, and the private snapshot folder.
class ProgramPaths
{
public:
    // The folder of the executable; KRNOTIFY_PROGRAM_DIR overrides it (tests, portable use).
    static QString programDir();
    // The first existing of programDir()/name, programDir()/../share/krnotify/name and the
    // source tree's resources/name (developer builds). programDir()/name when none exists.
    static QString resourceFile(const QString& name);
    // programDir() when the user may write there, else $XDG_CONFIG_HOME/KRNotify (created with
    // mode 0700). Host list, options and crash reports live here.
    static QString writableDataDir();
    // "<private folder>/KRNotifyPic": the private folder is $XDG_RUNTIME_DIR when it is ours
    // with mode 0700, else <temp>/krnotify-<uid> created 0700, else a fresh mkdtemp folder.
    // A folder that is a symbolic link or belongs to another user is never used.
    // KRNOTIFY_SNAPSHOT_DIR overrides the whole path. The folder itself is created (0700).
    static QString snapshotRoot();
    // Deletes snapshotRoot() with everything in it, never following a symbolic link.
    static bool removeSnapshotRoot();
};
