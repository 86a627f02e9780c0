#include "model/CKRInput.h"

#include "i18n/StringTable.h"

CKRInput::CKRInput(qint32 index)
    : inputIndex(index), name(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_INPUT")) +
                              QLatin1Char(' ') + QString::asprintf("%.2lld", qint64(index) + 1))
{
}
