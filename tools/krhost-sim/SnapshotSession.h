#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTcpSocket;
class QTimer;

// The host side of one event snapshot download (docs/protocol.md), after its two opening
// bytes 0x00 0xC9 have been read. Owns the socket; deletes itself when done.
class SnapshotSession : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        Normal,
        Refuse,
        Stall,
        Cut,
        Huge
    };
    struct Request
    {
        qint32 command = 0;
        qint32 logId = 0;
        qint32 camera = 0;
        qint32 key = 0;
        double utc = 0.0;
    };
    // Returns the picture's bytes for a request, or an empty array when there is none.
    using Lookup = std::function<QByteArray(const Request&)>;

    // "normal", "refuse", "stall", "cut", "huge".
    static std::optional<Mode> modeFromName(const QString& name);

    SnapshotSession(QTcpSocket* socket, Mode mode, Lookup lookup, QObject* parent);

Q_SIGNALS:
    void requested(const SnapshotSession::Request& request);

private:
    void readRequest();
    void answer(const Request& request);
    void finish();

    QTcpSocket* m_socket;
    QTimer* m_idle;
    Mode m_mode;
    Lookup m_lookup;
    QByteArray m_request;
    bool m_answered = false;
};
