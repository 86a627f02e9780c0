#include "shell/SingleInstanceLock.h"

QString SingleInstanceLock::defaultPath()
{
    return LockFile::machineTempDir() + QLatin1Char('/') + QLatin1String(FileName);
}

SingleInstanceLock::SingleInstanceLock(const QString& path) : m_file(path) {}
