#pragma once

#include "shell/LockFile.h"

// One instance per machine: the first process to lock "KRNotify Mutex xxx xox oxo.lock" in
// the shared temporary folder is the first instance and keeps the lock for its whole life.
// An owner that died (the "abandoned" case) has already lost the lock to the kernel.
class SingleInstanceLock
{
public:
    static constexpr const char* FileName = "KRNotify Mutex xxx xox oxo.lock";
    static QString defaultPath();

    explicit SingleInstanceLock(const QString& path = defaultPath());

    // Opens or creates the lock file; false means no lock can be had at all.
    bool create() { return m_file.open(); }
    // True when this process now owns the lock: it is the first instance.
    bool tryAcquire() { return m_file.tryLock(); }
    bool isOwned() const { return m_file.isLocked(); }

private:
    LockFile m_file;
};
