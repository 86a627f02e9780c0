#include "ui/eventlist/EventMenu.h"

#include "i18n/StringTable.h"

#include <QMenu>

namespace {

QAction* addItem(QMenu& menu, const char* key, int command)
{
    QAction* action = menu.addAction(CStringTable::Instance().GetText(QString::fromLatin1(key)));
    action->setData(command);
    return action;
}

} // namespace

std::unique_ptr<QMenu> BuildEventMenu(const EventMenuState& state, QWidget* parent)
{
    auto menu = std::make_unique<QMenu>(parent);
    addItem(*menu, "TAV_IDS_STOP_RING", kCommandStopRing);
    menu->addSeparator();
    QAction* intercom = addItem(*menu, "TAV_IDS_INTERCOM", kCommandIntercom);
    intercom->setCheckable(true);
    intercom->setChecked(state.speakerOn && state.microphoneOn);
    menu->addSeparator();
    QAction* speaker = addItem(*menu, "TAV_IDS_SPEAKER", kCommandSpeaker);
    speaker->setCheckable(true);
    speaker->setChecked(state.speakerOn);
    QAction* microphone = addItem(*menu, "TAV_IDS_MIC", kCommandMicrophone);
    microphone->setCheckable(true);
    microphone->setChecked(state.microphoneOn);
    menu->addSeparator();
    QAction* processed = addItem(*menu, "TAV_IDS_PROCESSED", kCommandProcessed);
    processed->setEnabled(!(state.rowSelected && state.rowHandled));
    QAction* unlock = addItem(*menu, "TAV_IDS_UNLOCK", kCommandUnlock);
    for (QAction* a : {intercom, speaker, microphone, unlock})
        a->setEnabled(state.rowSelected);
    return menu;
}

int ExecEventMenu(const EventMenuState& state, const QPoint& globalPos, QWidget* parent)
{
    const std::unique_ptr<QMenu> menu = BuildEventMenu(state, parent);
    const QAction* chosen = menu->exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}
