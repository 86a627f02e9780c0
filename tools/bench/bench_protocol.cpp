// The host control protocol: frame encoding and decoding on their own, then the client control
// receiving and sending event messages over a loopback TCP connection.

#include "BenchTiming.h"
#include "tnclient/TnClient.h"
#include "tnclient/TnWire.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kMessages = 20000;
constexpr int kRuns = 5;

// A KRNOTIFY_EVENT as a host sends it for every new event: nine fields plus the command.
TnWire::Message EventMessage(qint32 logId)
{
    using TnWire::Field;
    TnWire::Message m;
    m.command = QStringLiteral("KRNOTIFY_EVENT");
    m.fields.insert(QStringLiteral("L_TYPE"), Field::ofInt(2));
    m.fields.insert(QStringLiteral("L_ID"), Field::ofInt(logId));
    m.fields.insert(QStringLiteral("M_ID"), Field::ofInt(1030));
    m.fields.insert(QStringLiteral("C_ID"), Field::ofInt(17));
    m.fields.insert(QStringLiteral("D_ID"), Field::ofInt(2));
    m.fields.insert(QStringLiteral("I_ID"), Field::ofInt(-1));
    m.fields.insert(QStringLiteral("DIRECTION"), Field::ofInt(0));
    m.fields.insert(QStringLiteral("T_LOCAL"), Field::ofDate(46000.5 + logId / 86400.0));
    m.fields.insert(QStringLiteral("T_UTC"), Field::ofDate(46000.25 + logId / 86400.0));
    return m;
}

void BenchCodec()
{
    std::vector<TnWire::Message> messages;
    for (int i = 0; i < kMessages; ++i)
        messages.push_back(EventMessage(i));

    QByteArray stream;
    const Bench::Figures encode = Bench::Measure(kRuns, [&] {
        stream.clear();
        for (const TnWire::Message& m : messages)
            stream += TnWire::encodeFrame(m);
    });
    std::printf("protocol: KRNOTIFY_EVENT frame %lld bytes\n",
                qint64(TnWire::encodeFrame(messages.front()).size()));
    Bench::PrintRate("protocol", QStringLiteral("encode frame (TnWire)"), encode, kMessages);

    // Fed in 64 KiB blocks, as reads from a socket arrive.
    const Bench::Figures decode = Bench::Measure(kRuns, [&] {
        TnWire::FrameReader reader;
        TnWire::Message out;
        int decoded = 0;
        for (qsizetype at = 0; at < stream.size(); at += 65536) {
            reader.feed(stream.mid(at, 65536));
            while (reader.next(&out) == TnWire::FrameReader::Status::Ready)
                ++decoded;
        }
        if (decoded != kMessages)
            std::fprintf(stderr, "protocol: decoded %d of %d\n", decoded, kMessages);
    });
    Bench::PrintRate("protocol", QStringLiteral("decode frame (TnWire::FrameReader)"), decode,
                     kMessages);
}

void BenchLoopback()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) {
        std::fprintf(stderr, "protocol: cannot listen on loopback\n");
        return;
    }
    CTnClient client;
    client.Initialize(0);
    bool connected = false;
    QObject::connect(&client, &ClientControl::OnConnected, [&](long) { connected = true; });
    const long id = client.Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    Bench::RunUntil([&] { return connected && server.hasPendingConnections(); });
    QTcpSocket* host = server.nextPendingConnection();
    if (!connected || !host) {
        std::fprintf(stderr, "protocol: loopback connection failed\n");
        return;
    }

    // Host to client: every message is delivered as OnReceive and its fields are read, as the
    // event handler does.
    QByteArray stream;
    for (int i = 0; i < kMessages; ++i)
        stream += TnWire::encodeFrame(EventMessage(i));
    int received = 0;
    qint64 checksum = 0;
    QObject::connect(&client, &ClientControl::OnReceive, [&](const QString&, long) {
        ++received;
        for (const char* key : {"L_TYPE", "L_ID", "M_ID", "C_ID", "D_ID", "I_ID", "DIRECTION"})
            checksum += client.GetIntField(QLatin1String(key));
        checksum += qint64(client.GetDateField(QStringLiteral("T_UTC")) +
                           client.GetDateField(QStringLiteral("T_LOCAL")));
    });
    const Bench::Figures receive = Bench::Measure(kRuns, [&] {
        received = 0;
        host->write(stream);
        Bench::RunUntil([&] { return received == kMessages; });
    });
    if (received != kMessages)
        std::fprintf(stderr, "protocol: received %d of %d\n", received, kMessages);
    Bench::PrintRate("protocol", QStringLiteral("host -> client, OnReceive + field reads"), receive,
                     kMessages);

    // Client to host: messages composed field by field and sent; the host side decodes them.
    TnWire::FrameReader reader;
    int arrived = 0;
    QObject::connect(host, &QTcpSocket::readyRead, [&] {
        reader.feed(host->readAll());
        TnWire::Message out;
        while (reader.next(&out) == TnWire::FrameReader::Status::Ready)
            ++arrived;
    });
    const Bench::Figures send = Bench::Measure(kRuns, [&] {
        arrived = 0;
        for (int i = 0; i < kMessages; ++i) {
            client.SetIntField(QStringLiteral("L_TYPE"), 2);
            client.SetIntField(QStringLiteral("L_ID"), i);
            client.SendCommand(QStringLiteral("KRNOTIFY_NOTIFY_EVENT_HANDLED"), id);
        }
        Bench::RunUntil([&] { return arrived == kMessages; });
    });
    if (arrived != kMessages)
        std::fprintf(stderr, "protocol: host decoded %d of %d\n", arrived, kMessages);
    Bench::PrintRate("protocol", QStringLiteral("client -> host, SendCommand (2 fields)"), send,
                     kMessages);
    client.Uninitialize();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("krnotify.*.debug=false"));
    BenchCodec();
    BenchLoopback();
    return 0;
}
