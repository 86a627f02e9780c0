#pragma once

#include "tnclient/ClientControl.h"

#include <QStringList>
#include <QVariantMap>

#include <vector>

// A client control that records every call and lets a test deliver events and received
// messages with their fields. Fields not given read as 0 / empty, as with the real control.
class FakeClientControl : public ClientControl
{
public:
    struct Sent
    {
        QString command;
        long connectionId;
        QVariantMap fields;
    };

    bool initializeResult = true;
    long nextConnectResult = 100; // the id Connect returns; incremented after each use when > 0
    QStringList calls;            // "Initialize 200", "Connect host:9987", "Disconnect 7", ...
    std::vector<long> disconnected;
    std::vector<Sent> sent;
    QVariantMap replyFields; // the login reply the next REMOTEMONITOR_LOGIN event reads
    bool waiting = false;    // every connection has messages waiting to be delivered
    EndReason endReason = EndReason::Unknown; // what the next end event reports

    bool Initialize(short context) override
    {
        calls << QStringLiteral("Initialize %1").arg(context);
        return initializeResult;
    }
    bool Uninitialize() override
    {
        calls << QStringLiteral("Uninitialize");
        return true;
    }
    long Connect(const QString& address, long port) override
    {
        calls << QStringLiteral("Connect %1:%2").arg(address).arg(port);
        const long id = nextConnectResult;
        if (nextConnectResult > 0)
            ++nextConnectResult;
        return id;
    }
    bool Disconnect(long connectionId) override
    {
        calls << QStringLiteral("Disconnect %1").arg(connectionId);
        disconnected.push_back(connectionId);
        return true;
    }
    bool SetIntField(const QString& key, long value) override
    {
        m_outgoing.insert(key, qlonglong(value));
        return true;
    }
    bool SetTextField(const QString& key, const QString& value) override
    {
        m_outgoing.insert(key, value);
        return true;
    }
    bool SendCommand(const QString& command, long connectionId) override
    {
        sent.push_back({command, connectionId, m_outgoing});
        m_outgoing.clear();
        return true;
    }
    long GetReplyIntField(const QString& key) override
    {
        return replyFields.value(key).toLongLong();
    }
    QString GetReplyTextField(const QString& key) override
    {
        return replyFields.value(key).toString();
    }
    long GetIntField(const QString& key) override { return m_current.value(key).toLongLong(); }
    double GetDateField(const QString& key) override { return m_current.value(key).toDouble(); }
    QString GetTextField(const QString& key) override { return m_current.value(key).toString(); }
    bool HasWaitingMessages(long) const override { return waiting; }
    EndReason GetEndReason() override { return endReason; }

    // Delivers a received message; its fields are readable only during delivery.
    void receive(const QString& command, long connectionId, const QVariantMap& fields = {})
    {
        m_current = fields;
        Q_EMIT OnReceive(command, connectionId);
        m_current.clear();
    }
    // A login reply with the given fields.
    void login(long connectionId, const QVariantMap& reply)
    {
        replyFields = reply;
        Q_EMIT OnReceive(QStringLiteral("REMOTEMONITOR_LOGIN"), connectionId);
    }
    QStringList sentCommands() const
    {
        QStringList names;
        for (const Sent& s : sent)
            names << QStringLiteral("%1 %2").arg(s.command).arg(s.connectionId);
        return names;
    }

private:
    QVariantMap m_outgoing;
    QVariantMap m_current;
};
