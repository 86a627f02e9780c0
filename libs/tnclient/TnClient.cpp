#include "tnclient/TnClient.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

Q_LOGGING_CATEGORY(lcTnClient, "krnotify.tnclient")

namespace {

const QString kLoginCommand = QStringLiteral("REMOTEMONITOR_LOGIN");

// Beyond these the program is not keeping up; reading pauses until it catches up.
constexpr size_t kMaxQueuedEvents = 10000;
constexpr qint64 kMaxQueuedBytes = 8 * 1024 * 1024;
// Kernel data is pulled into the socket only this far ahead of the frame reader.
constexpr qint64 kSocketReadBuffer = 256 * 1024;
// A host that does not read what we send is treated as gone.
constexpr qint64 kMaxUnsentBytes = 16 * 1024 * 1024;
// A closed connection gets this long to flush what was sent before Disconnect.
constexpr int kFlushOnCloseMs = 5000;

qint64 WallClockUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// An ended socket's error as the reason the connection ended; a socket that ended without an
// error was closed by the host.
ClientControl::EndReason EndReasonOf(QAbstractSocket::SocketError error)
{
    using Reason = ClientControl::EndReason;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return Reason::Refused;
    case QAbstractSocket::HostNotFoundError:
        return Reason::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return Reason::TimedOut;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::UnknownSocketError:
        return Reason::ClosedByHost;
    default:
        return Reason::NetworkError;
    }
}

} // namespace

struct CTnClient::Connection
{
    QTcpSocket* socket = nullptr;   // child of the client; disposed of by finish()
    QTimer* connectTimer = nullptr; // child of the socket
    quint16 port = 0;
    bool live = false;
    TnWire::FrameReader reader;
    // While the host's name is looked up; the watch goes before the look-up it watches.
    std::shared_ptr<const NameResolver::Pending> lookup;
    std::unique_ptr<QSocketNotifier> lookupWatch;
};

CTnClient::CTnClient(QObject* parent)
    : ClientControl(parent), m_resolver(std::make_unique<NameResolver>())
{
}

CTnClient::~CTnClient()
{
    Uninitialize();
}

bool CTnClient::Initialize(short)
{
    return true;
}

bool CTnClient::Uninitialize()
{
    for (auto& [id, connection] : m_connections) {
        connection->socket->disconnect(this);
        connection->socket->abort();
        connection->socket->deleteLater();
    }
    m_connections.clear();
    m_events.clear();
    m_backlogBytes = 0;
    m_outgoing.clear();
    return true;
}

void CTnClient::setConnectTimeout(int milliseconds)
{
    m_connectTimeoutMs = qMax(1, milliseconds);
}

void CTnClient::setNameLookup(NameResolver::Lookup lookup)
{
    m_resolver = std::make_unique<NameResolver>(std::move(lookup));
}

void CTnClient::setDeliveryBudget(int milliseconds)
{
    m_deliveryBudgetMs = qMax(0, milliseconds);
}

bool CTnClient::HasWaitingMessages(long connectionId) const
{
    for (const Event& event : m_events)
        if (event.connectionId == connectionId && event.type == EventType::Receive)
            return true;
    const auto it = m_connections.find(connectionId);
    return it != m_connections.end() && it->second->live &&
           it->second->socket->bytesAvailable() > 0;
}

long CTnClient::Connect(const QString& address, long port)
{
    if (address.trimmed().isEmpty() || port < 1 || port > 65535) {
        qCWarning(lcTnClient) << "Connect refused: address" << address << "port" << port;
        return 0;
    }
    if (m_lastId == std::numeric_limits<qint32>::max()) {
        qCWarning(lcTnClient) << "Connect refused: connection ids exhausted";
        return 0;
    }
    const long id = ++m_lastId;

    auto connection = std::make_unique<Connection>();
    auto* socket = new QTcpSocket(this);
    socket->setReadBufferSize(kSocketReadBuffer);
    connection->socket = socket;
    connection->port = quint16(port);
    connection->connectTimer = new QTimer(socket);
    connection->connectTimer->setSingleShot(true);
    connect(connection->connectTimer, &QTimer::timeout, this,
            [this, id] { finish(id, EndReason::TimedOut, QStringLiteral("connect timed out")); });
    connect(socket, &QTcpSocket::connected, this, [this, id] { onSocketConnected(id); });
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, id] { onSocketEnded(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { onSocketEnded(id); });
    Connection& c = *m_connections.emplace(id, std::move(connection)).first->second;

    qCDebug(lcTnClient) << "connection" << id << "to" << address << port;
    c.connectTimer->start(m_connectTimeoutMs);
    const QString host = address.trimmed();
    const QHostAddress numeric(host);
    if (!numeric.isNull()) {
        socket->connectToHost(numeric, c.port);
        return id;
    }
    // A name: the socket connects once the look-up is done (the connect time-out covers both).
    c.lookup = m_resolver->Start(host);
    if (c.lookup->done().fd() < 0) {
        finish(id, EndReason::Unknown,
               QStringLiteral("no descriptor to wait for the name look-up"));
        return id;
    }
    c.lookupWatch = std::make_unique<QSocketNotifier>(c.lookup->done().fd(), QSocketNotifier::Read);
    connect(c.lookupWatch.get(), &QSocketNotifier::activated, this,
            [this, id] { onNameLookedUp(id); });
    return id;
}

void CTnClient::onNameLookedUp(long id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    const std::optional<SocketAddress> address =
        NameResolver::Choose(c.lookup->addresses(), c.port);
    c.lookupWatch.reset();
    c.lookup.reset();
    if (!address) {
        finish(id, EndReason::HostNotFound, QStringLiteral("host name not found"));
        return;
    }
    c.socket->connectToHost(QHostAddress(address->address()), c.port);
}

bool CTnClient::Disconnect(long connectionId)
{
    if (m_connections.find(connectionId) == m_connections.end())
        return false;
    finish(connectionId, EndReason::Requested, QStringLiteral("disconnect requested"));
    return true;
}

void CTnClient::onSocketConnected(long id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->second->connectTimer->stop();
    it->second->live = true;
    qCDebug(lcTnClient) << "connection" << id << "established";
    post({EventType::Connected, id, {}, 0});
    readFrom(id);
}

void CTnClient::onSocketEnded(long id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    if (!c.live) {
        finish(id, EndReasonOf(c.socket->error()), c.socket->errorString());
        return;
    }
    // Deliver what arrived before the end, even while reading is paused: the socket's own
    // buffer bounds it.
    if (drain(id, c, false))
        finish(id, EndReasonOf(c.socket->error()),
               c.reader.hasPartialFrame() ? QStringLiteral("connection ended inside a frame")
                                          : QStringLiteral("closed by host"));
}

void CTnClient::readFrom(long id)
{
    auto it = m_connections.find(id);
    if (it != m_connections.end() && it->second->live)
        drain(id, *it->second, true);
}

bool CTnClient::drain(long id, Connection& c, bool bounded)
{
    TnWire::Message message;
    while (!(bounded && backlogFull()) && c.socket->bytesAvailable() > 0) {
        c.reader.feed(c.socket->read(qMax<qint64>(1, c.reader.bytesWanted())));
        TnWire::FrameReader::Status status;
        while ((status = c.reader.next(&message)) == TnWire::FrameReader::Status::Ready) {
            qint64 cost = TnWire::kHeaderSize + 64;
            for (auto f = message.fields.cbegin(); f != message.fields.cend(); ++f)
                cost += 32 + 2 * (f.key().size() + f.value().textValue.size());
            post({EventType::Receive, id, std::move(message), cost, WallClockUs()});
            message = {};
        }
        if (status == TnWire::FrameReader::Status::Failed) {
            qCWarning(lcTnClient) << "connection" << id << "bad frame:" << c.reader.errorText();
            finish(id, EndReason::BadData, c.reader.errorText());
            return false;
        }
    }
    return true;
}

void CTnClient::resumeReading()
{
    std::vector<long> ids;
    for (const auto& [id, connection] : m_connections)
        if (connection->live && connection->socket->bytesAvailable() > 0)
            ids.push_back(id);
    for (long id : ids)
        readFrom(id);
}

void CTnClient::finish(long id, EndReason reason, const QString& why)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    std::unique_ptr<Connection> c = std::move(it->second);
    m_connections.erase(it);

    QTcpSocket* socket = c->socket;
    socket->disconnect(this);
    c->connectTimer->stop();
    if (c->live && socket->state() == QAbstractSocket::ConnectedState &&
        socket->bytesToWrite() > 0 && socket->bytesToWrite() <= kMaxUnsentBytes) {
        // Let what was sent before Disconnect (a last acknowledgement) reach the host.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kFlushOnCloseMs, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
    } else {
        socket->abort();
        socket->deleteLater();
    }
    qCDebug(lcTnClient) << "connection" << id << "ended:" << why;
    post({c->live ? EventType::Close : EventType::ConnectFailed, id, {}, 0, 0, reason});
}

void CTnClient::post(Event event)
{
    m_backlogBytes += event.cost;
    m_events.push_back(std::move(event));
    scheduleDelivery();
}

bool CTnClient::backlogFull() const
{
    return m_events.size() >= kMaxQueuedEvents || m_backlogBytes >= kMaxQueuedBytes;
}

void CTnClient::scheduleDelivery()
{
    if (m_deliveryScheduled || m_delivering)
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &CTnClient::deliverPending, Qt::QueuedConnection);
}

void CTnClient::deliverPending()
{
    m_deliveryScheduled = false;
    if (m_delivering)
        return;
    QElapsedTimer turn;
    turn.start();
    while (!m_events.empty()) {
        if (!deliverNext())
            return;
        if (turn.elapsed() >= m_deliveryBudgetMs)
            break;
    }
    if (!m_events.empty())
        scheduleDelivery();
}

bool CTnClient::deliverNext()
{
    const bool wasFull = backlogFull();
    Event event = std::move(m_events.front());
    m_events.pop_front();
    m_backlogBytes -= event.cost;

    QPointer<CTnClient> alive(this);
    m_delivering = true;
    switch (event.type) {
    case EventType::Receive:
        if (event.message.command == kLoginCommand)
            m_loginReply = event.message.fields;
        m_current = &event.message.fields;
        m_currentDecodedAt = event.decodedAt;
        Q_EMIT OnReceive(event.message.command, event.connectionId);
        break;
    case EventType::Connected:
        Q_EMIT OnConnected(event.connectionId);
        break;
    case EventType::ConnectFailed:
        m_currentEndReason = event.endReason;
        Q_EMIT OnConnectFailed(event.connectionId);
        break;
    case EventType::Close:
        m_currentEndReason = event.endReason;
        Q_EMIT OnClose(event.connectionId);
        break;
    }
    if (!alive)
        return false;
    m_current = nullptr;
    m_currentEndReason = EndReason::Unknown;
    m_delivering = false;
    if (wasFull && !backlogFull())
        resumeReading();
    return true;
}

bool CTnClient::SetIntField(const QString& key, long value)
{
    if (key.isEmpty())
        return false;
    // The control's integers are 32-bit: wider values keep their low 32 bits, as masks expect.
    m_outgoing.insert(key, TnWire::Field::ofInt(static_cast<qint32>(value)));
    return true;
}

bool CTnClient::SetTextField(const QString& key, const QString& value)
{
    if (key.isEmpty())
        return false;
    m_outgoing.insert(key, TnWire::Field::ofText(value));
    return true;
}

bool CTnClient::SetDateField(const QString& key, double oleDate)
{
    if (key.isEmpty() || !std::isfinite(oleDate))
        return false;
    m_outgoing.insert(key, TnWire::Field::ofDate(oleDate));
    return true;
}

bool CTnClient::SendCommand(const QString& command, long connectionId)
{
    TnWire::Message message{command, std::exchange(m_outgoing, {})};
    auto it = m_connections.find(connectionId);
    if (it == m_connections.end() || !it->second->live) {
        qCDebug(lcTnClient) << "not sent, no live connection" << connectionId << command;
        return false;
    }
    const QByteArray frame = TnWire::encodeFrame(message);
    if (frame.isEmpty()) {
        qCWarning(lcTnClient) << "not sent, cannot frame" << command;
        return false;
    }
    QTcpSocket* socket = it->second->socket;
    const bool written = socket->write(frame) == frame.size();
    if (socket->bytesToWrite() > kMaxUnsentBytes) {
        finish(connectionId, EndReason::TimedOut, QStringLiteral("host does not read"));
        return false;
    }
    return written;
}

long CTnClient::GetReplyIntField(const QString& key)
{
    return TnWire::intField(&m_loginReply, key);
}

QString CTnClient::GetReplyTextField(const QString& key)
{
    return TnWire::textField(&m_loginReply, key);
}

long CTnClient::GetIntField(const QString& key)
{
    return TnWire::intField(m_current, key);
}

double CTnClient::GetDateField(const QString& key)
{
    return TnWire::dateField(m_current, key);
}

QString CTnClient::GetTextField(const QString& key)
{
    return TnWire::textField(m_current, key);
}
