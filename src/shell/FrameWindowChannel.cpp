#include "shell/FrameWindowChannel.h"

#include "shell/ShellLog.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int MaxRequestBytes = 64;
constexpr int IdleConnectionMs = 10000;

// Opened before the close request is sent, so the process waited for cannot be confused with
// a later one that reuses its id.
int openProcessHandle(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid);
    return -1;
#endif
}

void waitForProcessEnd(pid_t pid, int processHandle)
{
    if (processHandle >= 0) {
        pollfd entry = {processHandle, POLLIN, 0};
        while (poll(&entry, 1, -1) < 0 && errno == EINTR) {
        }
        return;
    }
    // No process handle (old kernel): look every 50 ms whether the process still exists.
    const timespec step = {0, 50 * 1000 * 1000};
    while (::kill(pid, 0) == 0 || errno == EPERM)
        nanosleep(&step, nullptr);
}

pid_t peerProcess(const QLocalSocket& socket)
{
    ucred credentials = {};
    socklen_t size = sizeof(credentials);
    if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                   &credentials, &size) != 0)
        return 0;
    return credentials.pid;
}

} // namespace

QString FrameWindowChannel::defaultName()
{
    const QString overridden = qEnvironmentVariable("KRNOTIFY_FRAME_NAME");
    return overridden.isEmpty() ? QLatin1String(DefaultName) : overridden;
}

QString FrameWindowChannel::socketPath(const QString& name)
{
    if (name.contains(QLatin1Char('/')))
        return name;
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') +
           name;
}

FrameWindowChannel::FrameWindowChannel(const QString& name, QObject* parent)
    : QObject(parent), m_path(socketPath(name)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &FrameWindowChannel::onNewConnection);
}

FrameWindowChannel::~FrameWindowChannel() = default;

bool FrameWindowChannel::listen()
{
    if (m_server->isListening())
        return true;
    // Look before binding: with socket options QLocalServer binds elsewhere and renames over
    // the name, which would silently take it from a live instance. A file nobody answers on
    // was left by a crashed instance and is removed.
    QLocalSocket probe;
    probe.connectToServer(m_path);
    if (probe.waitForConnected(1000)) {
        qCWarning(lcShell) << "frame channel" << m_path << "is served by another process";
        return false;
    }
    QLocalServer::removeServer(m_path);
    if (!m_server->listen(m_path)) {
        qCWarning(lcShell) << "frame channel cannot listen on" << m_path << m_server->errorString();
        return false;
    }
    return true;
}

bool FrameWindowChannel::isListening() const
{
    return m_server->isListening();
}

void FrameWindowChannel::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        // A peer that never finishes its request is dropped.
        QTimer::singleShot(IdleConnectionMs, socket, [socket] { socket->abort(); });
    }
}

void FrameWindowChannel::onReadyRead(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestBytes)
            socket->abort();
        return;
    }
    const QByteArray request = socket->readLine(MaxRequestBytes).trimmed();
    if (request == "activate") {
        socket->write("ok\n");
        socket->flush();
        Q_EMIT activateRequested();
    } else if (request == "close") {
        socket->write(QByteArray::number(static_cast<qint64>(::getpid())) + '\n');
        socket->flush();
        Q_EMIT closeRequested();
    } else {
        qCDebug(lcShell) << "frame channel: unknown request dropped";
        socket->abort();
    }
}

FrameWindowChannel::Answer FrameWindowChannel::ask(Request request, const QString& name,
                                                   int replyTimeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(name));
    if (!socket.waitForConnected(replyTimeoutMs))
        return Answer::NotFound;

    const pid_t peer = peerProcess(socket);
    const int processHandle = request == Request::Close && peer > 0 ? openProcessHandle(peer) : -1;

    socket.write(request == Request::Close ? "close\n" : "activate\n");
    socket.flush();
    QByteArray reply;
    while (!socket.canReadLine() && socket.waitForReadyRead(replyTimeoutMs)) {
    }
    if (socket.canReadLine())
        reply = socket.readLine(MaxRequestBytes).trimmed();

    Answer answer = Answer::NoReply;
    if (request == Request::Activate) {
        if (reply == "ok")
            answer = Answer::Activated;
    } else {
        bool isNumber = false;
        const qint64 replied = reply.toLongLong(&isNumber);
        // The kernel's word on who listens wins over the reply.
        const pid_t target = peer > 0 ? peer : static_cast<pid_t>(replied);
        if (isNumber && target > 0) {
            socket.abort();
            waitForProcessEnd(target, processHandle);
            answer = Answer::Closed;
        }
    }
    if (processHandle >= 0)
        ::close(processHandle);
    return answer;
}
