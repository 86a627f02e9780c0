#pragma once

#include <QHash>
#include <QString>

struct EVENT;

// What kind of event a row shows, at a glance: the marker beside its state colour.
enum class EventSeverity
{
    Alarm,       // something is wrong: forced, held open, input alarm, tamper, duress, faults
    Refused,     // access denied of any kind
    Information, // granted, unlocked, normal operation
};

// The kind of each message id, read from a table file ("EventSeverity.ini" in the resources):
// section [Alarm], [Refused] or [Information], key "Ids", a list of message ids. An id the
// table does not list is an alarm, so a message it does not know never looks harmless.
class EventSeverityTable
{
public:
    // The table of the program's resources, read once.
    static const EventSeverityTable& Instance();
    // A missing file gives an empty table (every id an alarm), which is logged.
    static EventSeverityTable Load(const QString& path);

    EventSeverity Of(qint32 messageId) const;
    bool Lists(qint32 messageId) const { return m_kinds.contains(messageId); }
    // The row's kind follows the text it shows: the log record's message once it arrived, the
    // notification's before.
    EventSeverity Of(const EVENT& event) const;

    // "alarm", "refused", "information": the names the table's sections and the audit use.
    static QString Name(EventSeverity severity);

private:
    QHash<qint32, EventSeverity> m_kinds;
};
