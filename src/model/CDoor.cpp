#include "model/CDoor.h"

#include "i18n/StringTable.h"

CDoor::CDoor(qint32 id, qint32 ownerControllerId)
    : doorId(id),
      // Numbered from 1 for the operator; widened so the largest id does not overflow.
      name(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_DOOR")) + QLatin1Char(' ') +
           QString::number(qint64(id) + 1)),
      controllerId(ownerControllerId)
{
}

bool CDoor::IsOpen() const
{
    return (status & 0x2) != 0;
}

bool CDoor::IsWorkMode6Or9() const
{
    return workMode == 6 || workMode == 9;
}
