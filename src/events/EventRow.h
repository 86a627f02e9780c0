#pragma once

#include "model/CEventLogData.h"
#include "model/OleDateTime.h"

#include <QStringList>

#include <memory>

// One row of the event list: a host's notified event, its handling state, and the log record
// and snapshot pictures that arrive later.
struct EVENT
{
    enum State : qint32
    {
        New = 0,
        Handling = 1,
        Handled = 2
    };

    // Log type in the upper 32 bits, OR-ed with the log id sign-extended to 64 bits.
    static qint64 MakeKey(qint32 logType, qint32 logId)
    {
        return qint64((quint64(quint32(logType)) << 32) | quint64(qint64(logId)));
    }
    qint64 key() const { return MakeKey(logType, logId); }

    qint32 state = New;
    qint32 hostId = -1;
    qint32 logType = 0;
    qint32 logId = 0;
    qint32 messageId = -1; // of the notification; the shown text comes from the log record
    qint32 controllerId = -1;
    qint32 doorId = -1;
    qint32 inputId = -1;
    qint32 directionIndex = 0; // 0 or 1
    std::unique_ptr<CEventLogData> log;
    COleDateTime localTime;
    COleDateTime utcTime;      // the sort key
    QStringList snapshotPaths; // full paths, in the order they were added
};

// Newest UTC time first; equal times: larger log type, then larger log id first.
bool EventShowsBefore(const EVENT& a, const EVENT& b);
