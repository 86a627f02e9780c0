#include "SimHost.h"

#include "PacedOutput.h"
#include "SiteMessages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>
#include <QtEndian>

#include <limits>

namespace {

using TnWire::Field;
using TnWire::Message;

constexpr qint64 kSocketReadBuffer = 256 * 1024;
constexpr int kClassifyMs = 30000; // time to send the first two bytes
constexpr size_t kSnapshotsKept = 1000;
constexpr qint64 kMaxPicture = 4999999;
constexpr qint32 kSnapshotVersion = 0x4030000;

// Fault injection: a frame of 10 bytes whose payload is not JSON.
QByteArray malformedFrame()
{
    return QByteArray::fromRawData("\0\0\0\x0anot json!!", 14);
}

// Fault injection: a frame announcing 16 MiB, far beyond the protocol's 1 MiB, with the first
// 64 KiB of it; a client must give up at the length instead of waiting for or storing the rest.
QByteArray oversizedFrame()
{
    constexpr int kAnnounced = 16 * 1024 * 1024;
    QByteArray frame(4 + 64 * 1024, '{');
    qToBigEndian<quint32>(kAnnounced, frame.data());
    return frame;
}

qint32 param(const QJsonObject& p, const char* key, qint32 fallback)
{
    return Sim::toInt(p.value(QLatin1String(key)), fallback);
}

// Timeline "send" fields: numbers are integers, texts are texts, {"d":x} is a date.
TnWire::Fields typedFields(const QJsonObject& o)
{
    TnWire::Fields out;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonValue v = it.value();
        if (v.isString())
            out.insert(it.key(), Field::ofText(v.toString()));
        else if (v.isObject() && v.toObject().value("d").isDouble())
            out.insert(it.key(), Field::ofDate(v.toObject().value("d").toDouble()));
        else
            out.insert(it.key(), Field::ofInt(Sim::toInt(v, 0)));
    }
    return out;
}

} // namespace

struct SimHost::Monitor
{
    int id = 0;
    QTcpSocket* socket = nullptr;  // child of the host
    PacedOutput* output = nullptr; // child of the socket
    TnWire::FrameReader reader;
    bool loggedIn = false;
    QString user;
};

SimHost::SimHost(Sim::Host host, SimFaults faults, MessageLog* log, MessageLog* trace,
                 int doorOpenMs, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_faults(faults), m_log(log), m_trace(trace),
      m_doorOpenMs(doorOpenMs), m_nextLogId(m_host.firstLogId)
{
    connect(&m_server, &QTcpServer::newConnection, this, &SimHost::accept);
}

SimHost::~SimHost() = default;

bool SimHost::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server.listen(address, port))
        return true;
    *error = m_server.errorString();
    return false;
}

void SimHost::info(const QString& text) const
{
    QTextStream(stderr) << '[' << m_host.name << ':' << port() << "] " << text << Qt::endl;
}

void SimHost::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(kSocketReadBuffer);
        // Control connections and snapshot downloads share the port: the first two bytes
        // decide (a frame length can never start 0x00 0xC9).
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { classify(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kClassifyMs, socket, [socket] {
            if (socket->property("classified").isNull())
                socket->abort();
        });
    }
}

void SimHost::classify(QTcpSocket* socket)
{
    if (socket->bytesAvailable() < 2)
        return;
    socket->setProperty("classified", true);
    socket->disconnect(this);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    const QByteArray head = socket->peek(2);
    if (head.at(0) == '\0' && quint8(head.at(1)) == 0xC9) {
        socket->read(2);
        auto* session = new SnapshotSession(
            socket, m_faults.snapshot, [this](const auto& r) { return snapshotFor(r); }, this);
        connect(session, &SnapshotSession::requested, this,
                [this](const SnapshotSession::Request& r) {
                    received(0, {QStringLiteral("SNAPSHOT_REQUEST"),
                                 {{"COMMAND", Field::ofInt(r.command)},
                                  {"L_ID", Field::ofInt(r.logId)},
                                  {"CAMERA", Field::ofInt(r.camera)},
                                  {"KEY", Field::ofInt(r.key)},
                                  {"T_UTC", Field::ofDate(r.utc)}}});
                    info(QStringLiteral("snapshot request: log %1 camera %2")
                             .arg(r.logId)
                             .arg(r.camera));
                });
        return;
    }
    auto monitor = std::make_unique<Monitor>();
    const int id = ++m_lastMonitorId;
    monitor->id = id;
    monitor->socket = socket;
    monitor->output = new PacedOutput(*socket, socket);
    // Traced as written, so the trace keeps the order of the wire (a configuration goes out
    // message by message while later messages wait behind it).
    monitor->output->setWrittenHandler([this, id](const QByteArray& frame) {
        if (!m_trace->isOpen())
            return;
        const auto message = TnWire::decodePayload(frame.mid(TnWire::kHeaderSize));
        if (message) // not the injected faulty frames
            m_trace->write(m_host.name, port(), id, *message, "out");
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { readMonitor(id); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, id] { dropMonitor(id, QStringLiteral("closed by monitor")); });
    m_monitors.emplace(id, std::move(monitor));
    info(QStringLiteral("monitor %1 connected from %2")
             .arg(id)
             .arg(socket->peerAddress().toString()));
    readMonitor(id);
}

void SimHost::readMonitor(int id)
{
    auto it = m_monitors.find(id);
    if (it == m_monitors.end())
        return;
    Monitor& m = *it->second;
    Message message;
    while (m.socket->bytesAvailable() > 0) {
        m.reader.feed(m.socket->read(qMax<qint64>(1, m.reader.bytesWanted())));
        TnWire::FrameReader::Status status;
        while ((status = m.reader.next(&message)) == TnWire::FrameReader::Status::Ready) {
            received(id, message);
            handle(m, message);
            if (m_monitors.find(id) == m_monitors.end())
                return; // dropped while handling
        }
        if (status == TnWire::FrameReader::Status::Failed) {
            dropMonitor(id, QStringLiteral("bad frame: ") + m.reader.errorText());
            return;
        }
    }
}

void SimHost::dropMonitor(int id, const QString& why)
{
    auto it = m_monitors.find(id);
    if (it == m_monitors.end())
        return;
    QTcpSocket* socket = it->second->socket;
    m_monitors.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    info(QStringLiteral("monitor %1 gone: %2").arg(id).arg(why));
    m_trace->note(
        m_host.name, port(), id,
        {{QStringLiteral("dir"), QStringLiteral("closed")}, {QStringLiteral("why"), why}});
}

void SimHost::received(int monitorId, const Message& message)
{
    m_log->write(m_host.name, port(), monitorId, message);
    m_trace->write(m_host.name, port(), monitorId, message, "in");
}

void SimHost::send(Monitor& monitor, const Message& message)
{
    const QByteArray frame = TnWire::encodeFrame(message);
    if (frame.isEmpty()) {
        info(QStringLiteral("cannot frame %1; not sent").arg(message.command));
        return;
    }
    sendRaw(monitor, frame);
}

void SimHost::sendRaw(Monitor& monitor, const QByteArray& bytes)
{
    if (!monitor.output->sendFrame(bytes)) {
        const int id = monitor.id;
        QTimer::singleShot(0, this, [this, id] { dropMonitor(id, "does not read"); });
    }
}

void SimHost::broadcast(const Message& message)
{
    for (auto& [id, monitor] : m_monitors)
        if (monitor->loggedIn)
            send(*monitor, message);
}

void SimHost::handle(Monitor& monitor, const Message& message)
{
    const QString& cmd = message.command;
    if (cmd == QLatin1String("REMOTEMONITOR_LOGIN")) {
        login(monitor, message);
    } else if (cmd == QLatin1String("CHECK_ALIVE")) {
        if (!m_faults.noAlive)
            send(monitor, {cmd, {}});
    } else if (!monitor.loggedIn) {
        info(QStringLiteral("monitor %1: %2 before login ignored").arg(monitor.id).arg(cmd));
    } else if (cmd == QLatin1String("KRNOTIFY_NOTIFY_EVENT_HANDLING") ||
               cmd == QLatin1String("KRNOTIFY_NOTIFY_EVENT_HANDLED")) {
        // The acknowledgement reaches every monitor, the sender included.
        const QString confirm = cmd == QLatin1String("KRNOTIFY_NOTIFY_EVENT_HANDLING")
                                    ? QStringLiteral("KRNOTIFY_EVENT_HANDLING")
                                    : QStringLiteral("KRNOTIFY_EVENT_HANDLED");
        broadcast({confirm,
                   {{"L_TYPE", message.fields.value("L_TYPE", Field::ofInt(0))},
                    {"L_ID", message.fields.value("L_ID", Field::ofInt(0))}}});
    } else if (cmd == QLatin1String("DOOR_OPERATIONS")) {
        doorOperation(message);
    } else if (cmd == QLatin1String("ADD_USER_ACTION_LOG")) {
        info(QStringLiteral("user action by %1: %2")
                 .arg(message.fields.value("UA_Operator").textValue,
                      message.fields.value("UA_MsgData").textValue));
    }
}

void SimHost::login(Monitor& monitor, const Message& message)
{
    const QString name = message.fields.value("USERNAME").textValue;
    const QString password = message.fields.value("PASSWORD").textValue;
    const Sim::User* user = nullptr;
    for (const Sim::User& u : m_host.users)
        if (u.name == name && u.password == password)
            user = &u;
    const qint32 result = m_faults.refuseLogin ? 2 : user ? 0 : 1;
    Message reply{QStringLiteral("REMOTEMONITOR_LOGIN"),
                  {{"R_RESULT", Field::ofInt(result)},
                   {"R_GUID", Field::ofText(m_host.guid)},
                   {"R_VERSION", Field::ofInt(m_host.version)}}};
    info(QStringLiteral("monitor %1 login \"%2\": %3")
             .arg(monitor.id)
             .arg(name, result == 0 ? "ok" : "refused"));
    if (result != 0) {
        send(monitor, reply);
        return;
    }
    reply.fields.insert("R_PRIVILEGE", Field::ofInt(user->privilege));
    reply.fields.insert("R_GP", Field::ofInt(user->gp));
    reply.fields.insert("R_READ", Field::ofText(user->read));
    reply.fields.insert("R_WRITE", Field::ofText(user->write));
    reply.fields.insert("R_EXECUTE", Field::ofText(user->execute));
    reply.fields.insert("R_KEY", Field::ofInt(m_host.key));
    send(monitor, reply);
    monitor.loggedIn = true;
    monitor.user = name;
    monitor.output->sendConfiguration(m_host);

    const int id = monitor.id;
    if (m_faults.dropAfter >= 0)
        QTimer::singleShot(int(m_faults.dropAfter * 1000), this,
                           [this, id] { dropMonitor(id, "dropped (fault injection)"); });
    if (m_faults.malformedAfter >= 0)
        QTimer::singleShot(int(m_faults.malformedAfter * 1000), this, [this, id] {
            auto it = m_monitors.find(id);
            if (it != m_monitors.end())
                sendRaw(*it->second, malformedFrame());
        });
    startTimeline();
}

void SimHost::doorOperation(const Message& message)
{
    const qint32 c = message.fields.value("C_ID").intValue;
    const qint32 d = message.fields.value("D_ID").intValue;
    const qint32 code = message.fields.value("CONTROL_CODE").intValue;
    const qint32 data = message.fields.value("DATA").intValue;
    info(QStringLiteral("door operation: controller %1 door %2 code %3 data %4")
             .arg(c)
             .arg(d)
             .arg(code)
             .arg(data));
    auto ctrl = m_host.controllers.find(c);
    if (code != 22 || ctrl == m_host.controllers.end())
        return;
    auto door = ctrl->second.doors.find(d);
    if (door == ctrl->second.doors.end())
        return;
    // Unlock: the door opens, and closes by itself a little later.
    setDoorStatus(c, d, door->second.status | 0x2);
    QTimer::singleShot(m_doorOpenMs, this, [this, c, d] {
        auto ct = m_host.controllers.find(c);
        if (ct == m_host.controllers.end())
            return;
        auto dr = ct->second.doors.find(d);
        if (dr != ct->second.doors.end())
            setDoorStatus(c, d, dr->second.status & ~0x2);
    });
}

void SimHost::setDoorStatus(qint32 controller, qint32 door, qint32 status)
{
    auto c = m_host.controllers.find(controller);
    if (c != m_host.controllers.end()) {
        auto d = c->second.doors.find(door);
        if (d != c->second.doors.end())
            d->second.status = status;
    }
    broadcast(Sim::doorStatus(controller, door, status));
}

void SimHost::startTimeline()
{
    if (m_timelineStarted)
        return;
    m_timelineStarted = true;
    for (const Sim::Step& step : m_host.timeline) {
        QTimer::singleShot(int(step.at * 1000), this, [this, step] {
            runStep(step, 0);
            if (step.every <= 0 || step.count == 1)
                return;
            auto* timer = new QTimer(this);
            auto run = std::make_shared<int>(1);
            connect(timer, &QTimer::timeout, this, [this, step, timer, run] {
                runStep(step, (*run)++);
                if (step.count > 0 && *run >= step.count)
                    timer->deleteLater();
            });
            timer->start(int(step.every * 1000));
        });
    }
}

void SimHost::runStep(const Sim::Step& step, int run)
{
    QJsonObject p = step.params;
    if (!step.variants.isEmpty()) {
        const QJsonObject variant = step.variants.at(run % step.variants.size());
        for (auto it = variant.begin(); it != variant.end(); ++it)
            p.insert(it.key(), it.value());
    }
    const QString& a = step.action;
    const qint32 c = param(p, "controller", 0);
    if (a == QLatin1String("event")) {
        runEvent(p);
    } else if (a == QLatin1String("door_status")) {
        setDoorStatus(c, param(p, "door", 0), param(p, "status", 0));
    } else if (a == QLatin1String("door_workmode")) {
        const qint32 d = param(p, "door", 0);
        const qint32 mode = param(p, "workmode", 3);
        auto ct = m_host.controllers.find(c);
        if (ct != m_host.controllers.end() && ct->second.doors.count(d))
            ct->second.doors[d].workMode = mode;
        broadcast(Sim::doorWorkMode(c, d, mode));
    } else if (a == QLatin1String("ctrl_status")) {
        auto ct = m_host.controllers.find(c);
        if (ct != m_host.controllers.end()) {
            ct->second.status = param(p, "status", 0);
            broadcast(Sim::ctrlStatus(ct->second));
        }
    } else if (a == QLatin1String("input_status")) {
        const qint32 in = param(p, "input", 0);
        const qint32 active = param(p, "active", 0);
        auto ct = m_host.controllers.find(c);
        if (ct != m_host.controllers.end() && ct->second.inputs.count(in))
            ct->second.inputs[in].active = active;
        broadcast(Sim::inputStatus(c, in, active));
    } else if (a == QLatin1String("send")) {
        broadcast({p.value("cmd").toString(), typedFields(p.value("fields").toObject())});
    } else if (a == QLatin1String("config")) {
        for (auto& [id, monitor] : m_monitors)
            if (monitor->loggedIn)
                monitor->output->sendConfiguration(m_host);
    } else if (a == QLatin1String("dvr_add")) {
        const Sim::Dvr dvr = Sim::parseDvr(p.value("dvr").toObject());
        m_host.dvrs[dvr.id] = dvr;
        broadcast(Sim::dvrParam(dvr));
    } else if (a == QLatin1String("dvr_remove")) {
        const qint32 id = param(p, "id", 0);
        m_host.dvrs.erase(id);
        broadcast(Sim::dvrRemove(id));
    } else if (a == QLatin1String("fault")) {
        runFault(p);
    }
}

void SimHost::runEvent(const QJsonObject& p)
{
    const qint32 logId = m_nextLogId;
    // Log ids count up from the scenario's first one; past the largest they start over at 1.
    m_nextLogId = logId == std::numeric_limits<qint32>::max() ? 1 : logId + 1;
    const QDateTime now = QDateTime::currentDateTime();
    const double utc = Sim::oleDateUtc(now);
    const double local = Sim::oleDateLocal(now);
    const bool isInput = p.contains(QLatin1String("input"));
    const qint32 c = param(p, "controller", 0);
    const qint32 place = isInput ? param(p, "input", 0) : param(p, "door", 0);
    const qint32 direction = param(p, "direction", 0);
    const qint32 messageId = param(p, "message", 1);

    broadcast({QStringLiteral("KRNOTIFY_EVENT"),
               {{"L_TYPE", Field::ofInt(param(p, "log_type", 2))},
                {"L_ID", Field::ofInt(logId)},
                {"M_ID", Field::ofInt(messageId)},
                {"C_ID", Field::ofInt(c)},
                {"D_ID", Field::ofInt(place)},
                {"I_ID", Field::ofInt(isInput ? place : 0)},
                {"DIRECTION", Field::ofInt(direction)},
                {"T_LOCAL", Field::ofDate(local)},
                {"T_UTC", Field::ofDate(utc)}}});

    Message log{QStringLiteral("NEW_EVENTLOG"),
                {{"L_ID", Field::ofInt(logId)},
                 {"C_ID", Field::ofInt(c)},
                 {"D_ID", Field::ofInt(place)},
                 {"LIVE_EVENT", Field::ofInt(param(p, "live", 0))},
                 {"DIRECTION", Field::ofInt(direction)},
                 {"M_ID", Field::ofInt(messageId)},
                 {"M_CONTENT", Field::ofInt(param(p, "content", 0))},
                 {"CARD_BIT", Field::ofInt(param(p, "card_bits", 26))},
                 {"T_LOCAL", Field::ofDate(local)},
                 {"T_UTC", Field::ofDate(utc)}}};
    const QJsonArray card = p.value("card").toArray();
    for (int n = 0; n < 8; ++n)
        log.fields.insert(QStringLiteral("CARD_B%1").arg(n),
                          Field::ofInt(n < card.size() ? card.at(n).toInt() & 0xFF : 0));
    const QString image = p.value("image").toString();
    if (quint32(m_host.version) >= quint32(kSnapshotVersion)) {
        log.fields.insert("IS_INPUT_MESSAGE", Field::ofInt(isInput ? 1 : 0));
        log.fields.insert("LOG_WITH_IMAGE", Field::ofInt(image.isEmpty() ? 0 : 1));
        if (!image.isEmpty()) {
            const std::pair<qint32, qint32> key{logId, direction + 1};
            if (m_snapshots.count(key) == 0)
                m_snapshotOrder.push_back(key);
            m_snapshots[key] = QDir(m_host.baseDir).absoluteFilePath(image);
            while (m_snapshots.size() > kSnapshotsKept) {
                m_snapshots.erase(m_snapshotOrder.front());
                m_snapshotOrder.pop_front();
            }
        }
    }
    broadcast(log);
}

void SimHost::runFault(const QJsonObject& p)
{
    const QString fault = p.value("fault").toString();
    info(QStringLiteral("fault: %1").arg(fault));
    QJsonObject traced{{QStringLiteral("dir"), QStringLiteral("fault")},
                       {QStringLiteral("fault"), fault}};
    if (fault == QLatin1String("snapshot"))
        traced.insert(QStringLiteral("mode"), p.value("mode"));
    m_trace->note(m_host.name, port(), 0, traced);
    if (fault == QLatin1String("no_alive")) {
        m_faults.noAlive = true;
    } else if (fault == QLatin1String("alive")) {
        m_faults.noAlive = false;
    } else if (fault == QLatin1String("refuse_login")) {
        m_faults.refuseLogin = true;
    } else if (fault == QLatin1String("accept_login")) {
        m_faults.refuseLogin = false;
    } else if (fault == QLatin1String("drop")) {
        std::vector<int> ids;
        for (const auto& [id, m] : m_monitors)
            ids.push_back(id);
        for (int id : ids)
            dropMonitor(id, QStringLiteral("dropped (fault injection)"));
    } else if (fault == QLatin1String("malformed") || fault == QLatin1String("oversized")) {
        const QByteArray frame =
            fault == QLatin1String("malformed") ? malformedFrame() : oversizedFrame();
        for (auto& [id, m] : m_monitors)
            sendRaw(*m, frame);
    } else if (fault == QLatin1String("silent")) {
        for (auto& [id, m] : m_monitors)
            m->output->Silence();
    } else if (fault == QLatin1String("snapshot")) {
        if (const auto mode = SnapshotSession::modeFromName(p.value("mode").toString()))
            m_faults.snapshot = *mode;
    }
}

QByteArray SimHost::snapshotFor(const SnapshotSession::Request& r) const
{
    if (r.command != 15 || r.key != m_host.key)
        return {};
    auto it = m_snapshots.find({r.logId, r.camera});
    if (it == m_snapshots.end())
        return {};
    QFile file(it->second);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 1 || file.size() > kMaxPicture) {
        info(QStringLiteral("snapshot %1 unreadable or too large").arg(it->second));
        return {};
    }
    return file.readAll();
}
