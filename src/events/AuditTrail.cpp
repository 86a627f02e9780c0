#include "events/AuditTrail.h"

#include "events/AuditRecord.h"
#include "platform/BackgroundFileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcAudit, "krnotify.audit")

namespace {

// One write of the whole buffer; false (and nothing changed) when it could not be written.
bool WriteWhole(int fd, const QByteArray& bytes)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    ssize_t written;
    do {
        written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
    if (written == bytes.size())
        return true;
    const int error = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::ftruncate(fd, st.st_size) != 0)
        qCWarning(lcAudit) << "a cut line could not be taken back:" << std::strerror(errno);
    errno = error;
    return false;
}

// A file whose last line was cut (a crash during its write) gets its line ended, so the next
// line starts on a line of its own.
bool EndLastLine(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1)
        return false;
    return last == '\n' || WriteWhole(fd, QByteArrayLiteral("\n"));
}

} // namespace

AuditTrail::AuditTrail(QString folder, Clock clock)
    : m_folder(std::move(folder)), m_clock(std::move(clock)),
      m_sync(std::make_unique<BackgroundFileSync>())
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTime(); };
}

AuditTrail::~AuditTrail()
{
    // The sync thread finishes what is waiting before the file is closed.
    m_file.reset();
    m_sync.reset();
}

QString AuditTrail::FileOf(const QDate& day) const
{
    return QDir(m_folder).filePath(day.toString(QStringLiteral("yyyyMMdd")) +
                                   QStringLiteral(".jsonl"));
}

bool AuditTrail::OpenDay(const QDate& day)
{
    m_file.reset();
    m_day = QDate();
    const QByteArray folder = QFile::encodeName(m_folder);
    if (!QDir().mkpath(QFileInfo(m_folder).absolutePath()) ||
        (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)) {
        qCWarning(lcAudit) << "cannot create" << m_folder << std::strerror(errno);
        return false;
    }
    const QByteArray path = QFile::encodeName(FileOf(day));
    // Never through a symbolic link: the trail is the operator's own record.
    auto file = std::make_shared<SharedFd>(
        ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    struct stat st;
    if (file->get() < 0 || ::fstat(file->get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        qCWarning(lcAudit) << "cannot open" << path << std::strerror(errno);
        return false;
    }
    if ((st.st_mode & 07777) != 0600 && ::fchmod(file->get(), 0600) != 0)
        qCWarning(lcAudit) << "cannot make" << path << "private:" << std::strerror(errno);
    if (!EndLastLine(file->get())) {
        qCWarning(lcAudit) << "cannot end the last line of" << path << std::strerror(errno);
        return false;
    }
    if (st.st_size == 0) {
        // A new file: its name must reach the disk as well as its lines.
        auto dir = std::make_shared<SharedFd>(
            ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir->get() >= 0)
            m_sync->Request(std::move(dir));
    }
    m_file = std::move(file);
    m_day = day;
    return true;
}

bool AuditTrail::Append(const AuditRecord& record)
{
    const QDateTime now = m_clock();
    if ((now.date() != m_day || !m_file) && !OpenDay(now.date()))
        return false;
    if (!WriteWhole(m_file->get(), record.ToJsonLine(now))) {
        qCWarning(lcAudit) << "line not written to" << FileOf(m_day) << std::strerror(errno);
        // Opened afresh next time: the file may have been replaced or repaired meanwhile.
        m_file.reset();
        return false;
    }
    m_sync->Request(m_file);
    return true;
}

void AuditTrail::Sync()
{
    m_sync->WaitIdle();
}
