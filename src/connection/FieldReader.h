#pragma once

#include "model/OleDateTime.h"
#include "tnclient/ClientControl.h"

#include <QString>

// Reads the fields of the message being received. The host's values are 32-bit; a field the
// message does not carry reads as 0, as empty text or as day 0.
class FieldReader
{
public:
    explicit FieldReader(ClientControl& control) : m_control(control) {}

    qint32 Int(const QString& key) const { return qint32(m_control.GetIntField(key)); }
    QString Text(const QString& key) const { return m_control.GetTextField(key); }
    COleDateTime Date(const QString& key) const
    {
        return COleDateTime(m_control.GetDateField(key));
    }
    qint32 Int(const char* pattern, int index) const { return Int(Indexed(pattern, index)); }
    QString Text(const char* pattern, int index) const { return Text(Indexed(pattern, index)); }

    // A count announced by a message, bounded: a message is at most 1 MiB, so it cannot carry
    // more than this many indexed fields, and a larger count would only loop on missing fields.
    static int BoundedCount(qint32 count, int limit) { return count < 0 ? 0 : qMin(count, limit); }

private:
    static QString Indexed(const char* pattern, int index)
    {
        return QString::fromLatin1(pattern).arg(index);
    }

    ClientControl& m_control;
};
