#include "common/BlockedLookup.h"
#include "tnclient/TnClient.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using TnWire::Field;
using TnWire::Message;

namespace {

constexpr int kWait = 5000; // upper bound for events that normally arrive at once

// The host end of one connection, scripted by the test.
class ScriptedHost
{
public:
    ScriptedHost() { QVERIFY(m_server.listen(QHostAddress::LocalHost)); }
    quint16 port() const { return m_server.serverPort(); }

    QTcpSocket* accept()
    {
        if (!m_peer && (m_server.hasPendingConnections() || m_server.waitForNewConnection(kWait)))
            m_peer = m_server.nextPendingConnection();
        return m_peer;
    }
    void send(const Message& m) { sendRaw(TnWire::encodeFrame(m)); }
    void sendRaw(const QByteArray& bytes)
    {
        m_peer->write(bytes);
        m_peer->flush();
    }
    // Next message the client sent; empty command on time-out or a bad frame.
    Message receive()
    {
        Message m;
        for (;;) {
            const auto status = m_reader.next(&m);
            if (status == TnWire::FrameReader::Status::Ready)
                return m;
            if (status == TnWire::FrameReader::Status::Failed)
                return {};
            // The client writes from the event loop, so keep it running while waiting.
            if (!QTest::qWaitFor([this] { return m_peer->bytesAvailable() > 0; }, kWait))
                return {};
            m_reader.feed(m_peer->readAll());
        }
    }

private:
    QTcpServer m_server;
    QTcpSocket* m_peer = nullptr;
    TnWire::FrameReader m_reader;
};

QByteArray frameOf(const QByteArray& payload)
{
    QByteArray header(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), header.data());
    return header + payload;
}

// A listening port whose accept queue is full: connection attempts to it stay pending.
class BlackholePort
{
public:
    BlackholePort()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listener, 0);
        socklen_t len = sizeof addr;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        for (int i = 0; i < 3; ++i) {
            auto* filler = new QTcpSocket(&m_owner);
            filler->connectToHost(QHostAddress::LocalHost, m_port);
        }
        QTest::qWait(50); // let the fillers take the queue
    }
    ~BlackholePort() { ::close(m_listener); }
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    QObject m_owner;
};

// The reason each end event (OnConnectFailed, OnClose) read while it was delivered.
class EndReasons
{
public:
    explicit EndReasons(CTnClient& client)
    {
        const auto note = [this, &client] { m_seen << client.GetEndReason(); };
        QObject::connect(&client, &ClientControl::OnConnectFailed, &m_context, note);
        QObject::connect(&client, &ClientControl::OnClose, &m_context, note);
    }
    const QList<ClientControl::EndReason>& seen() const { return m_seen; }

private:
    QObject m_context;
    QList<ClientControl::EndReason> m_seen;
};

using Reason = ClientControl::EndReason;

} // namespace

Q_DECLARE_METATYPE(ClientControl::EndReason)

class TestTnClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exchangesTypedFields();
    void connectFailures_data();
    void connectFailures();
    void hostNames_data();
    void hostNames();
    void disconnectIsAsynchronousAndIdsAreUnique();
    void badInputClosesConnection_data();
    void badInputClosesConnection();
    void frameLimits_data();
    void frameLimits();
    void jsonDetails_data();
    void jsonDetails();
    void eventsAreNotNested();
    void floodIsHeldBackNotDropped();
    void deliveryTurnsAndWaitingMessages_data();
    void deliveryTurnsAndWaitingMessages();
};

void TestTnClient::exchangesTypedFields()
{
    ScriptedHost host;
    CTnClient client;
    QVERIFY(client.Initialize(200));
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    const long id = client.Connect(QStringLiteral("localhost"), host.port());
    QVERIFY(id > 0);
    QVERIFY(connected.wait(kWait));
    QCOMPARE(connected.at(0).at(0).toLongLong(), qint64(id));
    QVERIFY(host.accept());

    // Outgoing: every type arrives typed; a second send carries none of the first one's fields.
    QVERIFY(client.SetIntField(QStringLiteral("VERSION"), 0x6000200));
    QVERIFY(client.SetIntField(QStringLiteral("MASK"), 0xFFFFFFFFL)); // keeps its 32 bits
    QVERIFY(client.SetTextField(QStringLiteral("USERNAME"), QStringLiteral("Jürgen 東")));
    QVERIFY(client.SetDateField(QStringLiteral("T"), 46000.25));
    QVERIFY(client.SendCommand(QStringLiteral("REMOTEMONITOR_LOGIN"), id));
    QVERIFY(client.SendCommand(QStringLiteral("CHECK_ALIVE"), id));
    QVERIFY(client.SetIntField(QStringLiteral("LEFTOVER"), 1));
    QVERIFY(!client.SendCommand(QStringLiteral("CHECK_ALIVE"), id + 1000)); // unknown id
    QVERIFY(client.SendCommand(QStringLiteral("CHECK_ALIVE"), id)); // LEFTOVER cleared anyway
    Message login = host.receive();
    QCOMPARE(login.command, QStringLiteral("REMOTEMONITOR_LOGIN"));
    QCOMPARE(login.fields.value(QStringLiteral("VERSION")), Field::ofInt(0x6000200));
    QCOMPARE(login.fields.value(QStringLiteral("MASK")), Field::ofInt(-1));
    QCOMPARE(login.fields.value(QStringLiteral("USERNAME")), Field::ofText("Jürgen 東"));
    QCOMPARE(login.fields.value(QStringLiteral("T")), Field::ofDate(46000.25));
    for (int i = 0; i < 2; ++i) {
        const Message alive = host.receive();
        QCOMPARE(alive.command, QStringLiteral("CHECK_ALIVE"));
        QVERIFY(alive.fields.isEmpty());
    }

    // Incoming: read inside the event; missing and wrong-type fields read as empty.
    struct Seen
    {
        QString command;
        long i, wrongI, missingI;
        double d, wrongD;
        QString s, wrongS;
        long replyI;
        QString replyS;
    };
    QList<Seen> seen;
    connect(&client, &ClientControl::OnReceive, &client, [&](const QString& cmd, long) {
        seen.append({cmd, client.GetIntField("C_ID"), client.GetIntField("D_NAME"),
                     client.GetIntField("NOPE"), client.GetDateField("T_UTC"),
                     client.GetDateField("C_ID"), client.GetTextField("D_NAME"),
                     client.GetTextField("C_ID"), client.GetReplyIntField("R_RESULT"),
                     client.GetReplyTextField("R_GUID")});
    });
    host.send(
        {"REMOTEMONITOR_LOGIN", {{"R_RESULT", Field::ofInt(7)}, {"R_GUID", Field::ofText("{g}")}}});
    host.send({"DOOR_STATUS",
               {{"C_ID", Field::ofInt(-3)},
                {"D_NAME", Field::ofText("Front")},
                {"T_UTC", Field::ofDate(46000.5)}}});
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, kWait);
    QCOMPARE(seen[0].replyI, 7L);
    QCOMPARE(seen[1].command, QStringLiteral("DOOR_STATUS"));
    QCOMPARE(seen[1].i, -3L);
    QCOMPARE(seen[1].s, QStringLiteral("Front"));
    QCOMPARE(seen[1].d, 46000.5);
    QCOMPARE(seen[1].wrongI, 0L);
    QCOMPARE(seen[1].missingI, 0L);
    QCOMPARE(seen[1].wrongD, 0.0);
    QCOMPARE(seen[1].wrongS, QString());
    // The login reply stays readable; ordinary fields only inside their event.
    QCOMPARE(seen[1].replyS, QStringLiteral("{g}"));
    QCOMPARE(client.GetReplyIntField(QStringLiteral("R_RESULT")), 7L);
    QCOMPARE(client.GetIntField(QStringLiteral("C_ID")), 0L);
}

void TestTnClient::connectFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<Reason>("reason");
    QTest::newRow("refused") << "refused" << Reason::Refused;
    QTest::newRow("timed out") << "timeout" << Reason::TimedOut;
    QTest::newRow("disconnected while pending") << "disconnect" << Reason::Requested;
}

void TestTnClient::connectFailures()
{
    QFETCH(QString, how);
    QFETCH(Reason, reason);
    CTnClient client;
    EndReasons reasons(client);
    client.setConnectTimeout(how == "timeout" ? 150 : 60000);
    QSignalSpy failed(&client, &ClientControl::OnConnectFailed);
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    QSignalSpy closed(&client, &ClientControl::OnClose);

    quint16 port = 0;
    std::unique_ptr<BlackholePort> blackhole;
    if (how == "refused") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort(); // closed again: nobody listens there now
    } else {
        blackhole = std::make_unique<BlackholePort>();
        port = blackhole->port();
    }
    const long id = client.Connect(QStringLiteral("127.0.0.1"), port);
    QVERIFY(id > 0);
    if (how == "disconnect") {
        QVERIFY(client.Disconnect(id));
        QCOMPARE(failed.count(), 0); // never from inside Disconnect
    }
    QVERIFY(failed.wait(kWait));
    QCOMPARE(failed.at(0).at(0).toLongLong(), qint64(id));
    QTest::qWait(20);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(reasons.seen(), QList<Reason>{reason});
    QCOMPARE(client.GetEndReason(), Reason::Unknown); // only inside the event
    QVERIFY(!client.Disconnect(id));                  // stale now
}

void TestTnClient::hostNames_data()
{
    QTest::addColumn<QString>("nameServer"); // what the name server does
    QTest::addColumn<bool>("connects");
    QTest::addColumn<Reason>("reason"); // of the failure
    QTest::newRow("answers") << "answers" << true << Reason::Unknown;
    QTest::newRow("knows no such name") << "unknown" << false << Reason::HostNotFound;
    QTest::newRow("silent, connect times out") << "silent" << false << Reason::TimedOut;
    QTest::newRow("silent, disconnected") << "silent, disconnect" << false << Reason::Requested;
}

void TestTnClient::hostNames()
{
    QFETCH(QString, nameServer);
    QFETCH(bool, connects);
    QFETCH(Reason, reason);
    ScriptedHost host;
    BlockedLookup silent;
    CTnClient client;
    EndReasons reasons(client);
    client.setConnectTimeout(nameServer == "silent" ? 150 : 60000);
    if (nameServer == "answers") // IPv6 first: the IPv4 address is taken, where the host is
        client.setNameLookup([](const QByteArray&) {
            std::vector<SocketAddress> found = NameResolver::SystemLookup("::1");
            const std::vector<SocketAddress> v4 = NameResolver::SystemLookup("127.0.0.1");
            found.insert(found.end(), v4.begin(), v4.end());
            return found;
        });
    else if (nameServer == "unknown")
        client.setNameLookup([](const QByteArray&) { return std::vector<SocketAddress>(); });
    else
        client.setNameLookup(silent.function());
    QSignalSpy failed(&client, &ClientControl::OnConnectFailed);
    QSignalSpy connected(&client, &ClientControl::OnConnected);

    const long id = client.Connect(QStringLiteral(" door.example "), host.port());
    QVERIFY(id > 0);
    if (nameServer == "silent, disconnect") {
        QTRY_VERIFY(silent.entered());
        QVERIFY(client.Disconnect(id));
    }
    QVERIFY(QTest::qWaitFor([&] { return failed.count() + connected.count() > 0; }, kWait));
    QCOMPARE(connected.count(), connects ? 1 : 0);
    QCOMPARE(failed.count(), connects ? 0 : 1);
    QCOMPARE(reasons.seen(), connects ? QList<Reason>{} : QList<Reason>{reason});
    QVERIFY(!silent.returned()); // nothing waited for a silent name server
}

void TestTnClient::disconnectIsAsynchronousAndIdsAreUnique()
{
    ScriptedHost host;
    CTnClient client;
    EndReasons reasons(client);
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    QSignalSpy closed(&client, &ClientControl::OnClose);
    QSignalSpy failed(&client, &ClientControl::OnConnectFailed);

    QCOMPARE(client.Connect(QString(), 1), 0L);
    QCOMPARE(client.Connect(QStringLiteral("127.0.0.1"), 0), 0L);
    QCOMPARE(client.Connect(QStringLiteral("127.0.0.1"), 70000), 0L);
    QVERIFY(!client.Disconnect(0));
    QVERIFY(!client.Disconnect(12345));

    const long first = client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(connected.wait(kWait));
    QVERIFY(host.accept());
    QVERIFY(client.Disconnect(first));
    QCOMPARE(closed.count(), 0);
    QVERIFY(!client.SendCommand(QStringLiteral("CHECK_ALIVE"), first));
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toLongLong(), qint64(first));
    QCOMPARE(reasons.seen(), QList<Reason>{Reason::Requested});
    QVERIFY(!client.Disconnect(first));

    const long second = client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(second > first);
    QTest::qWait(20);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(failed.count(), 0);
}

void TestTnClient::badInputClosesConnection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hostCloses");
    QTest::addColumn<int>("delivered");
    QTest::addColumn<Reason>("reason");

    const QByteArray good = TnWire::encodeFrame({"CHECK_ALIVE", {}});
    QByteArray huge(4, Qt::Uninitialized);
    qToBigEndian<quint32>(TnWire::kMaxPayload + 1, huge.data());
    QTest::newRow("oversized length, data keeps coming")
        << huge + QByteArray(256 * 1024, 'x') << false << 0 << Reason::BadData;
    QTest::newRow("length 0xFFFFFFFF") << QByteArray(4, '\xff') << false << 0 << Reason::BadData;
    QTest::newRow("zero length") << QByteArray(4, '\0') << false << 0 << Reason::BadData;
    QTest::newRow("not JSON") << frameOf("{cmd") << false << 0 << Reason::BadData;
    QTest::newRow("JSON array") << frameOf("[1,2]") << false << 0 << Reason::BadData;
    QTest::newRow("no command") << frameOf(R"({"fields":{}})") << false << 0 << Reason::BadData;
    QTest::newRow("unknown type tag")
        << frameOf(R"({"cmd":"X","fields":{"A":{"q":1}}})") << false << 0 << Reason::BadData;
    QTest::newRow("fractional int")
        << frameOf(R"({"cmd":"X","fields":{"A":{"i":1.5}}})") << false << 0 << Reason::BadData;
    QTest::newRow("int beyond 32 bits") << frameOf(R"({"cmd":"X","fields":{"A":{"i":4294967296}}})")
                                        << false << 0 << Reason::BadData;
    QTest::newRow("text not a string")
        << frameOf(R"({"cmd":"X","fields":{"A":{"s":5}}})") << false << 0 << Reason::BadData;
    QTest::newRow("good frame, then garbage")
        << good + frameOf("nonsense") << false << 1 << Reason::BadData;
    QTest::newRow("truncated frame, then close")
        << good + good.left(7) << true << 1 << Reason::ClosedByHost;
}

void TestTnClient::badInputClosesConnection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hostCloses);
    QFETCH(int, delivered);
    QFETCH(Reason, reason);

    ScriptedHost host;
    CTnClient client;
    EndReasons reasons(client);
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    QSignalSpy received(&client, &ClientControl::OnReceive);
    QSignalSpy closed(&client, &ClientControl::OnClose);
    const long id = client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(connected.wait(kWait));
    QTcpSocket* peer = host.accept();
    QVERIFY(peer);
    host.sendRaw(bytes);
    if (hostCloses)
        peer->disconnectFromHost();
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toLongLong(), qint64(id));
    QCOMPARE(received.count(), delivered);
    QCOMPARE(reasons.seen(), QList<Reason>{reason});
    // The client dropped the connection itself rather than waiting for more.
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kWait);
}

// Each limit by two frames that differ only in it, both whole and otherwise valid.
void TestTnClient::frameLimits_data()
{
    QTest::addColumn<int>("commandLength");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<bool>("ready");
    const int shortCommand = 4;
    QTest::newRow("largest payload") << shortCommand << TnWire::kMaxPayload << true;
    QTest::newRow("payload one byte larger") << shortCommand << TnWire::kMaxPayload + 1 << false;
    QTest::newRow("longest command") << TnWire::kMaxCommandLength << 0 << true;
    QTest::newRow("command one longer") << TnWire::kMaxCommandLength + 1 << 0 << false;
}

void TestTnClient::frameLimits()
{
    QFETCH(int, commandLength);
    QFETCH(int, payloadSize);
    QFETCH(bool, ready);
    QByteArray payload = R"({"cmd":")" + QByteArray(commandLength, 'C') + R"("})";
    if (payloadSize > 0)
        payload.insert(1, QByteArray(payloadSize - payload.size(), ' ')); // JSON white space
    TnWire::FrameReader reader;
    reader.feed(frameOf(payload));
    Message message;
    QCOMPARE(reader.next(&message) == TnWire::FrameReader::Status::Ready, ready);
    if (ready)
        QCOMPARE(message.command.size(), commandLength);
}

// The JSON rules docs/protocol.md promises to host writers. field A: an int, a text, or nothing
// (an invalid QVariant) when the payload is refused.
void TestTnClient::jsonDetails_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QVariant>("fieldA");
    const auto nested = [](int arrays) -> QByteArray {
        return R"({"cmd":"X","z":)" + QByteArray(arrays, '[') + QByteArray(arrays, ']') + "}";
    };
    QTest::newRow("duplicate field: last wins")
        << QByteArray(R"({"cmd":"X","fields":{"A":{"i":1},"A":{"i":2}}})") << QStringLiteral("X")
        << QVariant(2);
    QTest::newRow("duplicate cmd: last wins")
        << QByteArray(R"({"cmd":"X","cmd":"Y"})") << QStringLiteral("Y") << QVariant();
    QTest::newRow("escaped lone surrogate kept")
        << QByteArray(R"({"cmd":"X","fields":{"A":{"s":"a\ud800"}}})") << "X"
        << QVariant(QStringLiteral("a") + QChar(0xD800));
    QTest::newRow("surrogate as UTF-8 bytes")
        << QByteArray("{\"cmd\":\"X\",\"fields\":{\"A\":{\"s\":\"\xed\xa0\x80\"}}}") << QString()
        << QVariant();
    QTest::newRow("byte-order mark skipped")
        << QByteArray("\xef\xbb\xbf{\"cmd\":\"X\"}") << QStringLiteral("X") << QVariant();
    QTest::newRow("bytes after the object")
        << QByteArray(R"({"cmd":"X"} {})") << QString() << QVariant();
    QTest::newRow("1024 levels") << nested(1023) << QStringLiteral("X") << QVariant();
    QTest::newRow("1025 levels") << nested(1024) << QString() << QVariant();
    QTest::newRow("integral written 2.0") << QByteArray(R"({"cmd":"X","fields":{"A":{"i":2.0}}})")
                                          << QStringLiteral("X") << QVariant(2);
    QTest::newRow("number beyond a double")
        << QByteArray(R"({"cmd":"X","fields":{"A":{"d":1e400}}})") << QString() << QVariant();
}

void TestTnClient::jsonDetails()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, command);
    QFETCH(QVariant, fieldA);
    const std::optional<Message> message = TnWire::decodePayload(payload);
    QCOMPARE(message.has_value(), !command.isEmpty());
    if (!message)
        return;
    QCOMPARE(message->command, command);
    const Field a = message->fields.value(QStringLiteral("A"));
    if (fieldA.typeId() == QMetaType::Int)
        QCOMPARE(a.intValue, fieldA.toInt());
    else if (fieldA.typeId() == QMetaType::QString)
        QCOMPARE(a.textValue, fieldA.toString());
    else
        QVERIFY(!message->fields.contains(QStringLiteral("A")));
}

void TestTnClient::eventsAreNotNested()
{
    ScriptedHost host;
    CTnClient client;
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    const long id = client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(connected.wait(kWait));
    QVERIFY(host.accept());

    int depth = 0;
    int maxDepth = 0;
    QStringList order;
    QList<long> valuesInsideModal;
    connect(&client, &ClientControl::OnReceive, &client, [&](const QString& cmd, long) {
        ++depth;
        maxDepth = qMax(maxDepth, depth);
        order << cmd;
        if (cmd == QLatin1String("FIRST")) {
            // A modal box: a nested event loop while later messages are waiting.
            QEventLoop modal;
            QTimer::singleShot(100, &modal, &QEventLoop::quit);
            modal.exec();
            valuesInsideModal << client.GetIntField(QStringLiteral("N"));
        }
        --depth;
    });
    QSignalSpy closed(&client, &ClientControl::OnClose);
    QByteArray burst;
    int n = 0;
    for (const char* cmd : {"FIRST", "SECOND", "THIRD"})
        burst += TnWire::encodeFrame({cmd, {{"N", Field::ofInt(++n)}}});
    host.sendRaw(burst);
    host.accept()->disconnectFromHost();
    QVERIFY(closed.wait(kWait));
    QCOMPARE(maxDepth, 1);
    QCOMPARE(order, QStringList({"FIRST", "SECOND", "THIRD"}));
    QCOMPARE(valuesInsideModal, QList<long>{1}); // still the first message's fields
    Q_UNUSED(id);
}

void TestTnClient::floodIsHeldBackNotDropped()
{
    ScriptedHost host;
    CTnClient client;
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(connected.wait(kWait));
    QVERIFY(host.accept());

    // More messages than the client queues before it stops reading: while the first one's
    // slot is busy the rest pile up, reading pauses, and afterwards every one still arrives.
    constexpr int kFlood = 12000;
    QList<long> seen;
    connect(&client, &ClientControl::OnReceive, &client, [&](const QString&, long) {
        seen << client.GetIntField(QStringLiteral("N"));
        if (seen.size() == 1) {
            QEventLoop busy;
            QTimer::singleShot(300, &busy, &QEventLoop::quit);
            busy.exec();
        }
    });
    QByteArray flood;
    for (int n = 1; n <= kFlood; ++n)
        flood += TnWire::encodeFrame({"EVENT", {{"N", Field::ofInt(n)}}});
    host.sendRaw(flood);
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), kFlood, 4 * kWait);
    for (int i = 0; i < kFlood; ++i)
        QCOMPARE(seen.at(i), long(i + 1));
}

void TestTnClient::deliveryTurnsAndWaitingMessages_data()
{
    QTest::addColumn<int>("budget");
    QTest::addColumn<QStringList>("order");
    // What waits is delivered in the same turn while the budget lasts; with none left, the
    // event loop runs (here: a queued call) before the next message.
    QTest::newRow("budget left") << 60000 << QStringList{"FIRST", "SECOND", "turn"};
    QTest::newRow("budget spent") << 0 << QStringList{"FIRST", "turn", "SECOND"};
}

void TestTnClient::deliveryTurnsAndWaitingMessages()
{
    QFETCH(int, budget);
    QFETCH(QStringList, order);
    ScriptedHost host;
    CTnClient client;
    client.setDeliveryBudget(budget);
    QSignalSpy connected(&client, &ClientControl::OnConnected);
    const long id = client.Connect(QStringLiteral("127.0.0.1"), host.port());
    QVERIFY(connected.wait(kWait));
    QVERIFY(host.accept());
    QVERIFY(!client.HasWaitingMessages(id));

    QStringList seen;
    bool waitingWhileBusy = false;
    connect(&client, &ClientControl::OnReceive, &client, [&](const QString& command, long) {
        seen << command;
        if (command != QLatin1String("FIRST"))
            return;
        // The second message arrives while the first one's slot is still busy.
        host.send({"SECOND", {}});
        waitingWhileBusy = QTest::qWaitFor([&] { return client.HasWaitingMessages(id); }, kWait);
        QMetaObject::invokeMethod(
            &client, [&] { seen << QStringLiteral("turn"); }, Qt::QueuedConnection);
    });
    host.send({"FIRST", {}});
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, kWait);
    QVERIFY(waitingWhileBusy);
    QCOMPARE(seen, order);
    QVERIFY(!client.HasWaitingMessages(id));
    QVERIFY(!client.HasWaitingMessages(id + 1));
}

QTEST_GUILESS_MAIN(TestTnClient)
#include "tst_tnclient.moc"
