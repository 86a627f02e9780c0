#pragma once

#include <memory>

class QMenu;
class QPoint;
class QWidget;

// The event list's right-click menu. Items carry the toolbar command ids as their data.
struct EventMenuState
{
    bool rowSelected = false;
    bool rowHandled = false;
    bool speakerOn = false;
    bool microphoneOn = false;
};

enum EventCommand
{
    kCommandSpeaker = 1017,
    kCommandMicrophone = 1018,
    kCommandIntercom = 1019,
    kCommandProcessed = 1020,
    kCommandUnlock = 1021,
    kCommandStopRing = 1031
};

std::unique_ptr<QMenu> BuildEventMenu(const EventMenuState& state, QWidget* parent);
// Shows the menu at a screen point; the chosen command id, or 0.
int ExecEventMenu(const EventMenuState& state, const QPoint& globalPos, QWidget* parent);
