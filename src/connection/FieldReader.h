#pragma once

#include "model/OleDateTime.h"
#include "tnclient/ClientControl.h"
#include "tnclient/TnWire.h"

#include <QString>

// Reads the fields of the message being received, or of the last login reply. The host's
// values are 32-bit; a field the message does not carry reads as 0, as empty text or as day 0.
// Every received text enters the program here.
class FieldReader
{
public:
    enum class Source
    {
        Message,   // the message whose receive event is running
        LoginReply // the last REMOTEMONITOR_LOGIN reply
    };

    explicit FieldReader(ClientControl& control, Source source = Source::Message)
        : m_control(control), m_source(source)
    {
    }

    qint32 Int(const QString& key) const
    {
        return qint32(m_source == Source::LoginReply ? m_control.GetReplyIntField(key)
                                                     : m_control.GetIntField(key));
    }
    QString Text(const QString& key) const
    {
        return CutAtNul(m_source == Source::LoginReply ? m_control.GetReplyTextField(key)
                                                       : m_control.GetTextField(key));
    }
    // Dates come only in messages; a login reply carries none.
    COleDateTime Date(const QString& key) const
    {
        return COleDateTime(m_control.GetDateField(key));
    }
    qint32 Int(const char* pattern, int index) const { return Int(Indexed(pattern, index)); }
    QString Text(const char* pattern, int index) const { return Text(Indexed(pattern, index)); }

    // A count announced by a message, bounded by what a message can carry: every field takes at
    // least 12 bytes of a frame ("K":{"i":0},), so a larger count would only loop on fields that
    // cannot be there.
    static constexpr int kMaxFieldsPerMessage = TnWire::kMaxPayload / 12;
    static int BoundedCount(qint32 count)
    {
        return count < 0 ? 0 : qMin(count, kMaxFieldsPerMessage);
    }

private:
    // A host's text is a C string: it ends at its first NUL. What follows is never stored, so
    // it cannot reach a file whose reader stops there (the host list) or a window.
    static QString CutAtNul(QString text)
    {
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        return text;
    }
    static QString Indexed(const char* pattern, int index)
    {
        return QString::fromLatin1(pattern).arg(index);
    }

    ClientControl& m_control;
    Source m_source;
};
