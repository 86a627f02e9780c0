#include "model/CKRInput.h"

#include "i18n/StringTable.h"

CKRInput::CKRInput(qint32 index)
    : CKRInput(index, CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_INPUT")))
{
}

CKRInput::CKRInput(qint32 index, const QString& inputText)
    : inputIndex(index),
      name(inputText + QLatin1Char(' ') + QString::asprintf("%.2lld", qint64(index) + 1))
{
}
