#include "events/EventSeverity.h"

#include "events/EventRow.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(lcSeverity, "krnotify.events.severity")

namespace {
// The sections in the order they win when an id is listed twice.
constexpr EventSeverity kSections[] = {EventSeverity::Alarm, EventSeverity::Refused,
                                       EventSeverity::Information};
// An id list is one line; this is far more than the 256 message ids a host can name.
constexpr int kIdListChars = 16384;
} // namespace

const EventSeverityTable& EventSeverityTable::Instance()
{
    static const EventSeverityTable table =
        Load(ProgramPaths::resourceFile(QStringLiteral("EventSeverity.ini")));
    return table;
}

EventSeverityTable EventSeverityTable::Load(const QString& path)
{
    EventSeverityTable table;
    if (!QFileInfo::exists(path)) {
        qCWarning(lcSeverity) << "no event severity table at" << path
                              << "- every event is marked as an alarm";
        return table;
    }
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    for (const EventSeverity severity : kSections) {
        const QString ids = ProfileFile::readString(path, Name(severity), QStringLiteral("Ids"),
                                                    QString(), kIdListChars);
        for (const QString& token : ids.split(separators, Qt::SkipEmptyParts)) {
            bool ok = false;
            const qint32 id = token.toInt(&ok, 0); // "0x12" or "18"
            if (!ok)
                qCWarning(lcSeverity) << "not a message id in" << path << ":" << token;
            else if (!table.m_kinds.contains(id))
                table.m_kinds.insert(id, severity);
        }
    }
    return table;
}

EventSeverity EventSeverityTable::Of(qint32 messageId) const
{
    return m_kinds.value(messageId, EventSeverity::Alarm);
}

EventSeverity EventSeverityTable::Of(const EVENT& event) const
{
    return Of(event.log ? event.log->messageId : event.messageId);
}

QString EventSeverityTable::Name(EventSeverity severity)
{
    switch (severity) {
    case EventSeverity::Alarm:
        return QStringLiteral("alarm");
    case EventSeverity::Refused:
        return QStringLiteral("refused");
    case EventSeverity::Information:
        return QStringLiteral("information");
    }
    return {};
}
