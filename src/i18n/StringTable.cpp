// Placeholder until the string-table reader lands: texts are their keys.
#include "i18n/StringTable.h"

#include <QVariant>

namespace {
std::unique_ptr<CStringTable>& instanceSlot()
{
    static std::unique_ptr<CStringTable> table;
    return table;
}
} // namespace

CStringTable::CStringTable(const QString& filePath, quint16)
    : m_filePath(filePath), m_languageCode(QStringLiteral("EN"))
{
}

CStringTable& CStringTable::Instance()
{
    auto& slot = instanceSlot();
    if (!slot)
        slot = std::make_unique<CStringTable>(QString(), 0x0409);
    return *slot;
}

void CStringTable::Install(std::unique_ptr<CStringTable> table) { instanceSlot() = std::move(table); }

quint16 CStringTable::languageIdForLocale(const QString&) { return 0x0409; }

QString CStringTable::GetText(const QString& key, const QList<TextArg>&) const { return key; }

void CStringTable::SetItemText(QObject* item, const QString& key, const QList<TextArg>& args) const
{
    if (item)
        item->setProperty("text", GetText(key, args));
}
