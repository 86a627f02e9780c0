#include "ui/eventlist/UnlockQuestion.h"

#include "events/EventPlace.h"
#include "i18n/StringTable.h"

#include <QMessageBox>
#include <QPushButton>

bool AskBeforeUnlock(QWidget* parent, const EventPlace& door)
{
    const CStringTable& texts = CStringTable::Instance();
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("unlockQuestion"));
    box.setIcon(QMessageBox::Question);
    if (parent)
        box.setWindowTitle(parent->window()->windowTitle());
    // Names come from the host: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(texts.GetText(QStringLiteral("TAV_IDS_CONFIRM_UNLOCK"),
                              {door.door, door.controller, door.host}));
    QPushButton* unlock =
        box.addButton(texts.GetText(QStringLiteral("TAV_IDS_UNLOCK")), QMessageBox::AcceptRole);
    QPushButton* cancel =
        box.addButton(texts.GetText(QStringLiteral("TAV_IDS_CANCEL")), QMessageBox::RejectRole);
    unlock->setObjectName(QStringLiteral("unlock"));
    cancel->setObjectName(QStringLiteral("cancel"));
    unlock->setAutoDefault(false);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == unlock;
}
