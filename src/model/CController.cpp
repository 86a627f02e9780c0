#include "model/CController.h"

#include "i18n/StringTable.h"

CController::CController(qint32 id)
    : controllerId(id),
      name(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_CONTROLLER")) +
           QLatin1Char(' ') + QString::number(id))
{
    // One string-table lookup for all inputs: each lookup checks the file on disk.
    const QString inputText = CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_INPUT"));
    for (int index = 0; index < kInputCount; ++index)
        inputs.emplace(index, std::make_unique<CKRInput>(index, inputText));
}

CController::~CController() = default;

bool CController::IsOnline() const
{
    return (status & kOnlineStatusBits) == kOnlineStatusBits;
}

CDoor* CController::FindDoor(qint32 doorId) const
{
    const auto it = doors.find(doorId);
    return it == doors.end() ? nullptr : it->second.get();
}

CKRInput* CController::FindInput(qint32 inputIndex) const
{
    const auto it = inputs.find(inputIndex);
    return it == inputs.end() ? nullptr : it->second.get();
}
