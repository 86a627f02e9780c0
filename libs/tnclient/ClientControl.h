#pragma once

#include <QObject>
#include <QString>

// The call surface of the client control: one object serves every host connection, each named
// by a positive connection id that is never reused within a run. Events are delivered on the
// object's thread, one at a time. The program talks to hosts only through this interface, so a
// test (or another implementation) can stand in for the TCP client.
class ClientControl : public QObject
{
    Q_OBJECT

public:
    // Why a connection ended, as GetEndReason reports it.
    enum class EndReason
    {
        Unknown,
        Requested,    // Disconnect was called
        Refused,      // nobody accepts connections at that address and port
        TimedOut,     // no answer in time (connect time-out, or a host that does not read)
        HostNotFound, // the host name does not resolve
        ClosedByHost, // the host ended an established connection
        NetworkError, // the network failed (unreachable, reset)
        BadData       // the host sent what is not the protocol
    };
    Q_ENUM(EndReason)

    using QObject::QObject;
    ~ClientControl() override = default;

    virtual bool Initialize(short context) = 0;
    virtual bool Uninitialize() = 0;
    // Starts an attempt; > 0 is its connection id, <= 0 means no attempt was started.
    virtual long Connect(const QString& address, long port) = 0;
    virtual bool Disconnect(long connectionId) = 0;

    // Compose an outgoing message field by field, then send it.
    virtual bool SetIntField(const QString& key, long value) = 0;
    virtual bool SetTextField(const QString& key, const QString& value) = 0;
    virtual bool SendCommand(const QString& command, long connectionId) = 0;

    // Fields of the login reply (REMOTEMONITOR_LOGIN).
    virtual long GetReplyIntField(const QString& key) = 0;
    virtual QString GetReplyTextField(const QString& key) = 0;
    // Fields of any other received message; valid only inside its receive event.
    // Missing fields read as 0 / 0.0 / empty.
    virtual long GetIntField(const QString& key) = 0;
    virtual double GetDateField(const QString& key) = 0; // OLE Automation date
    virtual QString GetTextField(const QString& key) = 0;
    // Why the connection ended; valid only inside OnConnectFailed and OnClose, Unknown elsewhere
    // (and from a control that cannot tell).
    virtual EndReason GetEndReason() { return EndReason::Unknown; }

    // Not part of the control's call surface: whether messages of this connection have arrived
    // that were not delivered yet (queued, or still in the socket while reading is held back).
    // A host whose messages wait is not silent, however long its keep-alive answer queues.
    virtual bool HasWaitingMessages(long connectionId) const
    {
        Q_UNUSED(connectionId);
        return false;
    }

    // Not part of the control's call surface; for the program's own timing figures. When the
    // message being delivered was decoded from the wire, in wall-clock microseconds since the
    // epoch; 0 when not known.
    virtual qint64 MessageDecodedAt() const { return 0; }

Q_SIGNALS:
    void OnReceive(const QString& command, long connectionId);
    void OnReceive2(const QString& command, long connectionId);
    void OnConnected(long connectionId);
    void OnConnectFailed(long connectionId);
    void OnClose(long connectionId);
};
