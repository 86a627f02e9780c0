#pragma once

#include "hostlookup/NameResolver.h"
#include "tnclient/ClientControl.h"
#include "tnclient/TnWire.h"

#include <QLoggingCategory>

#include <deque>
#include <map>
#include <memory>

class QTcpSocket;
class QTimer;

Q_DECLARE_LOGGING_CATEGORY(lcTnClient)

// The client control over TCP (docs/protocol.md). One object serves every host connection.
//
// Events are queued and delivered one at a time from the event loop, never from inside a call
// such as Disconnect: a slot that opens a modal box (a nested event loop) does not see a second
// event until it returns. One turn of the event loop delivers what waits for up to the
// delivery budget, so a burst of messages costs one repaint per turn, not one per message, and
// the window still repaints and answers between turns. While many events wait, reading from
// the sockets pauses, so a host that floods a busy program is held back by TCP instead of
// filling memory.
//
// Fields set with SetIntField / SetTextField are cleared by every SendCommand, sent or not.
//
// Host names are looked up through NameResolver, not Qt's resolver: the program waits for Qt's
// look-ups when it ends, and a name server that does not answer would hold the exit for its
// time-out.
class CTnClient : public ClientControl
{
    Q_OBJECT

public:
    explicit CTnClient(QObject* parent = nullptr);
    ~CTnClient() override;

    bool Initialize(short context) override;
    bool Uninitialize() override;
    long Connect(const QString& address, long port) override;
    bool Disconnect(long connectionId) override;

    bool SetIntField(const QString& key, long value) override;
    bool SetTextField(const QString& key, const QString& value) override;
    // Not part of the control's call surface; lets a tool or test send a date field.
    bool SetDateField(const QString& key, double oleDate);
    bool SendCommand(const QString& command, long connectionId) override;

    long GetReplyIntField(const QString& key) override;
    QString GetReplyTextField(const QString& key) override;
    long GetIntField(const QString& key) override;
    double GetDateField(const QString& key) override;
    QString GetTextField(const QString& key) override;
    qint64 MessageDecodedAt() const override { return m_currentDecodedAt; }
    EndReason GetEndReason() override { return m_currentEndReason; }

    bool HasWaitingMessages(long connectionId) const override;

    // Time allowed for a connection attempt before OnConnectFailed (default 10 s).
    void setConnectTimeout(int milliseconds);
    int connectTimeout() const { return m_connectTimeoutMs; }
    // The name look-up for connections made from now on (tests: a silent name server).
    void setNameLookup(NameResolver::Lookup lookup);
    // How long one turn of the event loop may spend delivering waiting events (default 8 ms,
    // half a frame); at least one event is delivered per turn.
    void setDeliveryBudget(int milliseconds);

private:
    enum class EventType
    {
        Receive,
        Connected,
        ConnectFailed,
        Close
    };
    struct Event
    {
        EventType type;
        long connectionId;
        TnWire::Message message;
        qint64 cost;          // bytes accounted against the backlog limit
        qint64 decodedAt = 0; // wall-clock microseconds
        EndReason endReason = EndReason::Unknown;
    };
    struct Connection;

    void onNameLookedUp(long id);
    void onSocketConnected(long id);
    void onSocketEnded(long id);
    void readFrom(long id);
    // Moves the complete frames waiting in the socket into the event queue; bounded: only while
    // the backlog has room. False when a bad frame ended (and removed) the connection.
    bool drain(long id, Connection& c, bool bounded);
    void resumeReading();
    // Removes the connection and queues its final event (OnConnectFailed or OnClose).
    void finish(long id, EndReason reason, const QString& why);
    void post(Event event);
    void scheduleDelivery();
    void deliverPending();
    // False when the client was destroyed by a slot.
    bool deliverNext();
    bool backlogFull() const;

    std::unique_ptr<NameResolver> m_resolver;
    std::map<long, std::unique_ptr<Connection>> m_connections;
    std::deque<Event> m_events;
    qint64 m_backlogBytes = 0;
    bool m_delivering = false;
    bool m_deliveryScheduled = false;
    long m_lastId = 0;
    int m_connectTimeoutMs = 10000;
    int m_deliveryBudgetMs = 8;

    TnWire::Fields m_outgoing;
    const TnWire::Fields* m_current = nullptr; // fields of the message being delivered
    qint64 m_currentDecodedAt = 0;
    TnWire::Fields m_loginReply;
    EndReason m_currentEndReason = EndReason::Unknown; // of the end event being delivered
};
