#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QLatin1String>
#include <QList>
#include <QPair>
#include <QString>

// One line of the audit trail: the time, the action, then named fields in the order they were
// added. Written as one JSON object on one line: texts are escaped as JSON escapes them (a
// newline or NUL sent by a host becomes \n or \u0000), so no text can break a line, and each
// text is cut to kMaxTextChars.
class AuditRecord
{
public:
    static constexpr int kMaxTextChars = 256;

    explicit AuditRecord(const QString& action);

    AuditRecord& Text(QLatin1String key, const QString& value);
    AuditRecord& Number(QLatin1String key, qint64 value);

    // {"time":"2024-05-01T03:45:12.345+02:00","action":...,...} and a line feed. The time is
    // local time with milliseconds and the offset from UTC.
    QByteArray ToJsonLine(const QDateTime& localTime) const;

    // The time as the line writes it.
    static QString TimeText(const QDateTime& localTime);

private:
    QList<QPair<QLatin1String, QJsonValue>> m_fields;
};
