#include "video/VideoMessageBox.h"

#include "i18n/StringTable.h"

#include <QMessageBox>
#include <QWidget>

void ShowVideoMessage(QWidget* owner, const QString& key, CLiveVideo::MessageIcon icon)
{
    auto* box = new QMessageBox(icon == CLiveVideo::MessageIcon::Warning ? QMessageBox::Warning
                                                                         : QMessageBox::Information,
                                owner ? owner->windowTitle() : QString(),
                                CStringTable::Instance().GetText(key), QMessageBox::Ok, owner);
    box->setObjectName(QStringLiteral("videoMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (CStringTable::Instance().RightToLeft())
        box->setLayoutDirection(Qt::RightToLeft);
    box->open();
}
