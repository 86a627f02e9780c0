#pragma once

#include <QString>

struct EVENT;

// What the event list asks of its owner (the main dialog).
class CEventListCtrlCallback
{
public:
    virtual ~CEventListCtrlCallback() = default;

    // The selected row changed, or the list gained the focus; null when none is selected.
    virtual void OnEventSelected(EVENT* event) = 0;
    // "N/A", "<door or input> . <controller>", or the controller's name.
    virtual QString GetEventDeviceText(int hostId, int controllerId, int doorId, int inputId) = 0;
};
