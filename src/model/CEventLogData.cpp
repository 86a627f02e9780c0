#include "model/CEventLogData.h"

#include "i18n/StringTable.h"
#include "model/EventMessageKeys.h"

CEventLogData::CEventLogData(qint32 id) : logId(id) {}

QString CEventLogData::GetMessageText() const
{
    return CStringTable::Instance().GetText(eventMessageKey(messageId));
}

QString CEventLogData::GetSnapshotFileName(int directionIndex) const
{
    if (!utcTime.isValid())
        return QString();
    COleDateTime::Fields day;
    if (!utcTime.toFields(day))
        day.year = day.month = day.day = -1;
    return QString::asprintf("%04d%02d%02d/EV.%04d%02d%02d.%010d-%lld.jpg", day.year, day.month,
                             day.day, day.year, day.month, day.day, logId,
                             qint64(directionIndex) + 1);
}

quint8 CEventLogData::cardByte(int index) const
{
    return index >= 0 && index < kCardByteCount ? card[size_t(index) + 1] : 0;
}

void CEventLogData::setCardByte(int index, qint32 received)
{
    if (index >= 0 && index < kCardByteCount)
        card[size_t(index) + 1] = quint8(received & 0xFF);
}
