#include "events/AuditRecord.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// A value as JSON text, escaped by Qt's own JSON writer.
QByteArray JsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // without the brackets
}

} // namespace

AuditRecord::AuditRecord(const QString& action)
{
    Text(QLatin1String("action"), action);
}

AuditRecord& AuditRecord::Text(QLatin1String key, const QString& value)
{
    const QString cut = value.size() > kMaxTextChars
                            ? value.left(kMaxTextChars - 1) + QChar(0x2026) // ellipsis
                            : value;
    m_fields.append({key, QJsonValue(cut)});
    return *this;
}

AuditRecord& AuditRecord::Number(QLatin1String key, qint64 value)
{
    m_fields.append({key, QJsonValue(value)});
    return *this;
}

QString AuditRecord::TimeText(const QDateTime& localTime)
{
    const int offsetMinutes = localTime.offsetFromUtc() / 60;
    const int absolute = qAbs(offsetMinutes);
    return localTime.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           QLatin1Char(offsetMinutes < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(absolute / 60, 2, 10, QLatin1Char('0'))
               .arg(absolute % 60, 2, 10, QLatin1Char('0'));
}

QByteArray AuditRecord::ToJsonLine(const QDateTime& localTime) const
{
    QByteArray line = "{\"time\":" + JsonText(TimeText(localTime));
    for (const auto& [key, value] : m_fields)
        line += ',' + JsonText(QString(key)) + ':' + JsonText(value);
    line += "}\n";
    return line;
}
