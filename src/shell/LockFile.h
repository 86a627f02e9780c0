#pragma once

#include <QString>

// A machine-wide lock: flock() on a file every user may open. The kernel drops the lock when
// the owning process ends, however it ends, so a dead owner never blocks the next one.
// The descriptor is close-on-exec: a started child must not keep the lock alive.
class LockFile
{
public:
    // KRNOTIFY_LOCK_DIR when set (tests), else /tmp: the one temporary folder all users share.
    static QString machineTempDir();

    explicit LockFile(const QString& path);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Opens the file, creating it with mode 0666 (whatever the umask) when missing. Refuses a
    // symbolic link or anything that is not a regular file.
    bool open();
    // Takes the lock without waiting; false when another process holds it.
    bool tryLock();
    // Waits for the lock without a time limit.
    bool lock();

    bool isLocked() const { return m_locked; }

private:
    // flock() with LOCK_EX and the given extra flags, retried when a signal interrupts it.
    bool lockExclusive(int flags);

    QString m_path;
    int m_fd = -1;
    bool m_locked = false;
};
