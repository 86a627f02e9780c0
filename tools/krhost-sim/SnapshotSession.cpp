#include "SnapshotSession.h"

#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <cstring>
#include <map>

namespace {

constexpr int kRequestSize = 4 * 4 + 8;
constexpr int kIdleMs = 30000;          // a silent client is dropped
constexpr qint32 kHugeLength = 5000000; // one more than a client accepts

QByteArray le32(qint32 v)
{
    QByteArray out(4, Qt::Uninitialized);
    qToLittleEndian<qint32>(v, out.data());
    return out;
}

} // namespace

std::optional<SnapshotSession::Mode> SnapshotSession::modeFromName(const QString& name)
{
    static const std::map<QString, Mode> modes = {{"normal", Mode::Normal},
                                                  {"refuse", Mode::Refuse},
                                                  {"stall", Mode::Stall},
                                                  {"cut", Mode::Cut},
                                                  {"huge", Mode::Huge}};
    auto it = modes.find(name);
    return it == modes.end() ? std::nullopt : std::optional<Mode>(it->second);
}

SnapshotSession::SnapshotSession(QTcpSocket* socket, Mode mode, Lookup lookup, QObject* parent)
    : QObject(parent), m_socket(socket), m_idle(new QTimer(this)), m_mode(mode),
      m_lookup(std::move(lookup))
{
    m_socket->setParent(this);
    m_idle->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, &SnapshotSession::finish);
    connect(m_socket, &QTcpSocket::readyRead, this, &SnapshotSession::readRequest);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    m_idle->start(kIdleMs);
    if (m_mode == Mode::Refuse) {
        m_socket->write(QByteArray(1, '\0'));
        finish();
        return;
    }
    m_socket->write(QByteArray(1, '\1'));
    readRequest();
}

void SnapshotSession::readRequest()
{
    if (m_answered) {
        m_socket->readAll(); // nothing more is expected; keep the buffer empty
        return;
    }
    m_request += m_socket->read(kRequestSize - m_request.size());
    if (m_request.size() < kRequestSize)
        return;
    Request r;
    const char* p = m_request.constData();
    r.command = qFromLittleEndian<qint32>(p);
    r.logId = qFromLittleEndian<qint32>(p + 4);
    r.camera = qFromLittleEndian<qint32>(p + 8);
    r.key = qFromLittleEndian<qint32>(p + 12);
    const quint64 bits = qFromLittleEndian<quint64>(p + 16);
    std::memcpy(&r.utc, &bits, sizeof r.utc);
    m_answered = true;
    Q_EMIT requested(r);
    answer(r);
}

void SnapshotSession::answer(const Request& request)
{
    const QByteArray picture = m_lookup(request);
    if (m_mode == Mode::Huge) {
        m_socket->write(le32(1) + le32(kHugeLength));
        finish();
        return;
    }
    if (picture.isEmpty()) {
        m_socket->write(le32(0));
        finish();
        return;
    }
    m_socket->write(le32(1) + le32(qint32(picture.size())));
    if (m_mode == Mode::Normal) {
        m_socket->write(picture);
        finish();
        return;
    }
    m_socket->write(picture.left(picture.size() / 2));
    if (m_mode == Mode::Cut)
        finish();
    // Stall: the rest never comes; the idle timer ends the session eventually.
}

void SnapshotSession::finish()
{
    m_idle->stop();
    m_socket->disconnectFromHost(); // after what was written has gone out
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
    else
        QTimer::singleShot(kIdleMs, this, &QObject::deleteLater); // a client that never reads
}
