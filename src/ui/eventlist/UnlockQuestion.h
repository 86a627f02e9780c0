#pragma once

class QWidget;
struct EventPlace;

// Asks the operator before a door is unlocked: "Unlock Main Entrance (Lobby Controller, Demo
// Site)?" with Unlock and Cancel, where Cancel is the default button and Escape answers Cancel,
// so a stray Enter never opens a door. True when the operator chose Unlock.
bool AskBeforeUnlock(QWidget* parent, const EventPlace& door);
