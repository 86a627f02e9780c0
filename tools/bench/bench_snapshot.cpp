// The event snapshot download: one 4 999 999-byte picture fetched over loopback with the
// program's own transfer (protocol, temporary file, rename) against a raw copy of the same
// bytes from a socket into a file, in the same run.

#include "BenchTiming.h"
#include "hostlookup/PollableFlag.h"
#include "connection/SnapshotDownload.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPictureBytes = kMaxSnapshotBytes;
constexpr int kRuns = 21;

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool ReceiveAll(int fd, char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// A loopback listener on its own thread that answers every connection with the picture:
// either as a host answers a snapshot request, or as bare bytes.
class PictureServer
{
public:
    explicit PictureServer(bool speaksProtocol)
        : m_protocol(speaksProtocol), m_picture(kPictureBytes, 'j')
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 4);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~PictureServer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    void Serve()
    {
        for (;;) {
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0)
                return;
            if (m_protocol)
                AnswerRequest(fd);
            else
                SendAll(fd, m_picture.constData(), size_t(m_picture.size()));
            ::close(fd);
        }
    }
    void AnswerRequest(int fd)
    {
        char hello[2];
        char request[24];
        const char accept = 1;
        if (!ReceiveAll(fd, hello, sizeof hello) || !SendAll(fd, &accept, 1) ||
            !ReceiveAll(fd, request, sizeof request))
            return;
        char header[8];
        qToLittleEndian<qint32>(1, header);
        qToLittleEndian<qint32>(kPictureBytes, header + 4);
        if (SendAll(fd, header, sizeof header))
            SendAll(fd, m_picture.constData(), size_t(m_picture.size()));
    }

    bool m_protocol;
    QByteArray m_picture;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

// The floor: connect, read every byte into a file as it arrives, close.
bool RawCopy(int port, const QString& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    QFile file(path);
    qint64 total = 0;
    if (file.open(QIODevice::WriteOnly)) {
        char chunk[64 * 1024];
        ssize_t n;
        while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
            total += file.write(chunk, n);
    }
    ::close(fd);
    return total == kPictureBytes;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    PictureServer raw(false);
    PictureServer host(true);
    bool ok = true;

    SnapshotRequest request;
    request.address = QStringLiteral("127.0.0.1");
    request.port = host.port();
    request.logId = 7;
    request.cameraNumber = 1;
    request.filePath = folder.filePath(QStringLiteral("snapshot.jpg"));
    const PollableFlag never;
    NameResolver resolver;
    auto copyOnce = [&] { ok &= RawCopy(raw.port(), folder.filePath(QStringLiteral("raw.jpg"))); };
    auto downloadOnce = [&] {
        ok &= RunSnapshotTransfer(request, SnapshotWaits{}, never, resolver) ==
              SnapshotOutcome::Written;
    };
    // Taken in turns, so that a busy moment of the machine falls on both alike.
    copyOnce();
    downloadOnce();
    std::vector<double> copyTimes, downloadTimes;
    for (int run = 0; run < kRuns; ++run) {
        copyTimes.push_back(Bench::TimeOnce(copyOnce));
        downloadTimes.push_back(Bench::TimeOnce(downloadOnce));
    }
    const Bench::Figures copy = Bench::Summarise(copyTimes);
    const Bench::Figures download = Bench::Summarise(downloadTimes);

    const double megabytes = kPictureBytes / 1e6;
    Bench::PrintMs("snapshot", QStringLiteral("raw loopback copy of %1 bytes").arg(kPictureBytes),
                   copy);
    Bench::PrintMs("snapshot", QStringLiteral("snapshot download, same picture"), download);
    std::printf("snapshot: raw %.0f MB/s, download %.0f MB/s: download %.2fx the raw copy%s\n",
                megabytes / (copy.median / 1000), megabytes / (download.median / 1000),
                copy.median / download.median, ok ? "" : "  (SOME TRANSFERS FAILED)");
    return ok ? 0 : 1;
}
