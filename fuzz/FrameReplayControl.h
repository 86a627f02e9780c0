#pragma once

#include "tnclient/ClientControl.h"
#include "tnclient/TnWire.h"

// A client control that delivers decoded frames as the TCP control does: one OnReceive per
// message, its fields readable (with the same typed getters) while the event runs, and the last
// login reply kept for the reply getters. Nothing is sent anywhere.
class FrameReplayControl : public ClientControl
{
public:
    static constexpr long kConnectionId = 1;

    bool Initialize(short) override { return true; }
    bool Uninitialize() override { return true; }
    long Connect(const QString&, long) override { return kConnectionId; }
    bool Disconnect(long) override { return true; }
    bool SetIntField(const QString&, long) override { return true; }
    bool SetTextField(const QString&, const QString&) override { return true; }
    bool SendCommand(const QString&, long) override { return true; }

    long GetReplyIntField(const QString& key) override
    {
        return TnWire::intField(&m_loginReply, key);
    }
    QString GetReplyTextField(const QString& key) override
    {
        return TnWire::textField(&m_loginReply, key);
    }
    long GetIntField(const QString& key) override { return TnWire::intField(m_current, key); }
    double GetDateField(const QString& key) override { return TnWire::dateField(m_current, key); }
    QString GetTextField(const QString& key) override { return TnWire::textField(m_current, key); }

    void deliver(const TnWire::Message& message)
    {
        if (message.command == QLatin1String("REMOTEMONITOR_LOGIN"))
            m_loginReply = message.fields;
        m_current = &message.fields;
        Q_EMIT OnReceive(message.command, kConnectionId);
        m_current = nullptr;
    }

private:
    const TnWire::Fields* m_current = nullptr;
    TnWire::Fields m_loginReply;
};
