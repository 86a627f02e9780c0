#include "shell/LockFile.h"

#include "shell/ShellLog.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString LockFile::machineTempDir()
{
    const QString overridden = qEnvironmentVariable("KRNOTIFY_LOCK_DIR");
    return overridden.isEmpty() ? QStringLiteral("/tmp") : overridden;
}

LockFile::LockFile(const QString& path) : m_path(path) {}

LockFile::~LockFile()
{
    if (m_fd >= 0)
        ::close(m_fd); // also releases the lock
}

bool LockFile::open()
{
    if (m_fd >= 0)
        return true;
    const QByteArray name = QFile::encodeName(m_path);
    // Open an existing file read-only (flock needs no more, and another user's file is not
    // ours to write); create it otherwise. A race with another creator is retried.
    for (int attempt = 0; attempt < 3 && m_fd < 0; ++attempt) {
        int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0)
                ::fchmod(fd, 0666); // the umask must not lock out other users
            else if (errno == EEXIST)
                continue;
        }
        if (fd < 0) {
            qCWarning(lcShell) << "lock file" << m_path << "cannot be opened:" << strerror(errno);
            return false;
        }
        struct stat info = {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            qCWarning(lcShell) << "lock file" << m_path << "is not a regular file";
            ::close(fd);
            return false;
        }
        m_fd = fd;
    }
    return m_fd >= 0;
}

bool LockFile::tryLock()
{
    return lockExclusive(LOCK_NB);
}

bool LockFile::lock()
{
    return lockExclusive(0);
}

bool LockFile::lockExclusive(int flags)
{
    if (m_locked)
        return true;
    if (m_fd < 0)
        return false;
    int result;
    do {
        result = ::flock(m_fd, LOCK_EX | flags);
    } while (result != 0 && errno == EINTR);
    m_locked = result == 0;
    return m_locked;
}
