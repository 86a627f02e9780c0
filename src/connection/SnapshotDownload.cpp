#include "connection/SnapshotDownload.h"

#include "connection/ConnectionManager.h"
#include "hostlookup/PollableFlag.h"
#include "model/CEventLogData.h"
#include "model/CKRHost.h"
#include "platform/UnsyncedSaveFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSnapshot, "krnotify.snapshot")

namespace {

constexpr qint32 kSnapshotCommand = 15;

class Socket
{
public:
    Socket(const SnapshotWaits& waits, const PollableFlag& cancel)
        : m_waits(waits), m_cancel(cancel)
    {
    }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool cancelled() const { return m_cancel.isRaised(); }

    bool connectTo(NameResolver& resolver, const QString& address, int port)
    {
        if (port < 1 || port > 65535 || address.isEmpty())
            return false;
        const std::optional<SocketAddress> target =
            resolver.Resolve(address, quint16(port), m_cancel);
        return target && openAndConnect(*target);
    }

    bool sendAll(const char* data, size_t size)
    {
        while (size > 0) {
            if (!waitFor(POLLOUT))
                return false;
            const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    // Receives up to size bytes (at least one); 0 on failure or when the host closed.
    size_t receiveSome(char* data, size_t size)
    {
        for (;;) {
            if (!waitFor(POLLIN))
                return 0;
            const ssize_t n = ::recv(m_fd, data, size, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            return n > 0 ? size_t(n) : 0;
        }
    }

    bool receiveAll(char* data, size_t size)
    {
        while (size > 0) {
            const size_t n = receiveSome(data, size);
            if (n == 0)
                return false;
            data += n;
            size -= n;
        }
        return true;
    }

    bool sendInt(qint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        return sendAll(bytes, sizeof bytes);
    }

    bool receiveInt(qint32& value)
    {
        char bytes[4];
        if (!receiveAll(bytes, sizeof bytes))
            return false;
        value = qFromLittleEndian<qint32>(bytes);
        return true;
    }

private:
    bool openAndConnect(const SocketAddress& target)
    {
        m_fd = ::socket(target.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0)
            return false;
        // The handshake bytes go out as two separate segments.
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (::connect(m_fd, target.address(), target.length) == 0)
            return true;
        if (errno != EINPROGRESS)
            return false;
        if (!waitFor(POLLOUT, m_waits.connectMs))
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        return ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }

    bool waitFor(short events) { return waitFor(events, m_waits.ioMs); }

    bool waitFor(short events, int totalMs)
    {
        return m_cancel.Wait(m_fd, events, qMax(0, totalMs)) == PollableFlag::Wake::Ready;
    }

    const SnapshotWaits& m_waits;
    const PollableFlag& m_cancel;
    int m_fd = -1;
};

} // namespace

SnapshotOutcome RunSnapshotTransfer(const SnapshotRequest& request, const SnapshotWaits& waits,
                                    const PollableFlag& cancel, NameResolver& resolver)
{
    Socket socket(waits, cancel);
    const auto failed = [&](SnapshotOutcome outcome) {
        return socket.cancelled() ? SnapshotOutcome::Cancelled : outcome;
    };
    if (!socket.connectTo(resolver, request.address, request.port))
        return failed(SnapshotOutcome::ConnectFailed);

    const char first = char(0x00), second = char(0xC9);
    char accept = 0;
    if (!socket.sendAll(&first, 1) || !socket.sendAll(&second, 1) || !socket.receiveAll(&accept, 1))
        return failed(SnapshotOutcome::TransferFailed);
    if (accept == 0)
        return SnapshotOutcome::HandshakeRefused;

    char time[8];
    quint64 timeBits = 0;
    static_assert(sizeof timeBits == sizeof request.utcTime);
    std::memcpy(&timeBits, &request.utcTime, sizeof timeBits);
    qToLittleEndian(timeBits, time);
    if (!socket.sendInt(kSnapshotCommand) || !socket.sendInt(request.logId) ||
        !socket.sendInt(request.cameraNumber) || !socket.sendInt(request.key) ||
        !socket.sendAll(time, sizeof time))
        return failed(SnapshotOutcome::TransferFailed);

    qint32 result = 0;
    if (!socket.receiveInt(result))
        return failed(SnapshotOutcome::TransferFailed);
    if (result == 0)
        return SnapshotOutcome::NoPicture;
    qint32 length = 0;
    if (!socket.receiveInt(length))
        return failed(SnapshotOutcome::TransferFailed);
    if (length < 1 || length > kMaxSnapshotBytes)
        return SnapshotOutcome::BadLength;

    // Written whole under a temporary name, then renamed: never seen partial. Not synced to
    // disk: the folder goes at exit, and a sync per picture cost more than the transfer.
    UnsyncedSaveFile file(request.filePath);
    if (!file.open())
        return SnapshotOutcome::FileError;
    char chunk[64 * 1024];
    qint64 remaining = length;
    while (remaining > 0) {
        const size_t n = socket.receiveSome(chunk, size_t(qMin<qint64>(remaining, sizeof chunk)));
        if (n == 0)
            return failed(SnapshotOutcome::TransferFailed); // the temporary is dropped
        if (!file.write(chunk, qint64(n)))
            return SnapshotOutcome::FileError;
        remaining -= qint64(n);
    }
    return file.commit() ? SnapshotOutcome::Written : SnapshotOutcome::FileError;
}

CSnapshotDownloader::CSnapshotDownloader(CConnectionManager& manager, QString snapshotFolder,
                                         QObject* parent)
    : QObject(parent), m_manager(manager), m_folder(std::move(snapshotFolder)),
      m_resolver(std::make_shared<NameResolver>())
{
    connect(this, &CSnapshotDownloader::downloadEnded, this, &CSnapshotDownloader::OnDownloadEnded,
            Qt::QueuedConnection);
}

CSnapshotDownloader::~CSnapshotDownloader()
{
    m_queue.Clear();
    for (const auto& [id, running] : m_running)
        running.cancel->Raise();
    for (auto& [id, running] : m_running) {
        if (running.worker.joinable())
            running.worker.join();
    }
}

void CSnapshotDownloader::setNameLookup(NameResolver::Lookup lookup)
{
    m_resolver = std::make_shared<NameResolver>(std::move(lookup));
}

bool CSnapshotDownloader::RequestSnapshotDownload(const QString& relativeName, int hostId,
                                                  const CEventLogData* record, int cameraNumber)
{
    if (relativeName.isEmpty())
        return false;
    const QString path = QDir(m_folder).filePath(relativeName);
    QDir().mkpath(QFileInfo(path).absolutePath());

    const CKRHost* host = m_manager.FindHostById(hostId);
    if (!host || !host->connected || !record)
        return false;
    SnapshotRequest request;
    request.address = host->address;
    request.port = host->port;
    request.key = host->key;
    request.hostId = hostId;
    request.logId = record->logId;
    request.cameraNumber = cameraNumber;
    request.utcTime = record->utcTime.days();
    request.filePath = path;
    Start(request);
    return true;
}

void CSnapshotDownloader::Start(const SnapshotRequest& request)
{
    m_queue.Push(request);
    StartWaiting();
}

void CSnapshotDownloader::StartWaiting()
{
    while (std::optional<SnapshotRequest> next = m_queue.TakeNext()) {
        const quint64 id = ++m_lastId;
        auto cancel = std::make_shared<PollableFlag>();
        Running& running = m_running[id];
        running = Running{next->hostId, next->filePath, cancel, {}};
        // The thread owns copies of everything it reads. This object joins every thread
        // before it goes, so the report always finds it; it is delivered on this object's
        // thread.
        try {
            running.worker = std::thread([this, id, request = std::move(*next), waits = m_waits,
                                          cancel, resolver = m_resolver] {
                const SnapshotOutcome outcome =
                    RunSnapshotTransfer(request, waits, *cancel, *resolver);
                if (outcome != SnapshotOutcome::Written && outcome != SnapshotOutcome::Cancelled)
                    qCDebug(lcSnapshot) << "snapshot of log" << request.logId << "camera"
                                        << request.cameraNumber << "not fetched:" << int(outcome);
                Q_EMIT downloadEnded(id, int(outcome), QPrivateSignal());
            });
        } catch (const std::system_error& error) {
            qCWarning(lcSnapshot) << "no thread for a snapshot download:" << error.what();
            Q_EMIT downloadEnded(id, int(SnapshotOutcome::ConnectFailed), QPrivateSignal());
        }
    }
}

void CSnapshotDownloader::OnDownloadEnded(quint64 id, int outcome)
{
    auto node = m_running.extract(id);
    if (node.empty())
        return;
    Running& ended = node.mapped();
    if (ended.worker.joinable())
        ended.worker.join(); // it has reported: it returns at once
    m_queue.Finished(ended.hostId);
    StartWaiting();
    // A cancelled download left no file; anything else is reported, written or not.
    if (outcome != int(SnapshotOutcome::Cancelled))
        Q_EMIT snapshotFinished(ended.hostId, ended.filePath,
                                outcome == int(SnapshotOutcome::Written));
}

void CSnapshotDownloader::Cancel(const QString& filePath)
{
    m_queue.Remove(filePath);
    for (const auto& [id, running] : m_running) {
        if (running.filePath == filePath)
            running.cancel->Raise();
    }
}
