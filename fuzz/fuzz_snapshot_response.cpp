// The snapshot download's reading of what a host answers: the input is everything the host
// sends (accept flag, result, length, picture), from a scripted peer over a loopback
// connection, after which the host closes its side. A picture is written whole, exactly as the
// host sent it, or no file is left at all.

#include "connection/SnapshotDownload.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A listening loopback port for the whole run.
class Listener
{
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_fd, 4) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort();
        m_port = ntohs(address.sin_port);
    }
    int fd() const { return m_fd; }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// The host's side of one download: sends the input, closes its sending side, then reads what
// the client sends until the client closes.
void ServeOnce(int listener, const QByteArray& answer)
{
    const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return;
    ::send(peer, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
    ::shutdown(peer, SHUT_WR);
    char sink[256];
    while (::recv(peer, sink, sizeof sink, 0) > 0) {
    }
    ::close(peer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Listener listener;
    static NameResolver resolver;
    const QByteArray answer(reinterpret_cast<const char*>(data), qsizetype(size));

    QTemporaryDir folder;
    // Host 1's snapshot of log 7, camera 1, from the scripted host.
    const SnapshotRequest request{QStringLiteral("127.0.0.1"),
                                  listener.port(),
                                  0,
                                  1,
                                  7,
                                  1,
                                  0.0,
                                  folder.filePath(QStringLiteral("EV.jpg"))};
    const PollableFlag cancel;

    std::thread host(ServeOnce, listener.fd(), answer);
    const SnapshotOutcome outcome = RunSnapshotTransfer(request, {2000, 2000}, cancel, resolver);
    host.join();

    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    if (outcome != SnapshotOutcome::Written) {
        if (!left.isEmpty())
            std::abort(); // a partial picture or a temporary file stayed
        return 0;
    }
    // Written: accept flag, result and length came first; the file is the picture, whole.
    const qint32 length = qFromLittleEndian<qint32>(answer.constData() + 5);
    QFile file(request.filePath);
    if (left.size() != 1 || !file.open(QIODevice::ReadOnly) ||
        file.readAll() != answer.mid(9, length))
        std::abort();
    return 0;
}
