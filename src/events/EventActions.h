#pragma once

class CConnectionManager;
class CEventMessageHandlers;
class EventAlertSink;
class EventLiveView;
struct EVENT;

// The operator's actions on events (toolbar and event menu): stop ring, intercom, processed,
// unlock; the camera and tree selection that follows a selected row; and which actions are
// enabled. Each action first stops the alarm. Acknowledgements change nothing locally: the
// row changes when the host confirms. Switching speaker and microphone is the live view's.
class CEventActions
{
public:
    struct ButtonState
    {
        bool processed = false;
        bool unlock = false;
    };

    CEventActions(CConnectionManager& manager, CEventMessageHandlers& handlers,
                  EventAlertSink& alerts, EventLiveView& liveView);

    void StopRing();
    // The intercom button was pressed: asks the host to mark a new selected event as being
    // handled. The button also switches speaker and microphone, through the live view.
    void Intercom(const EVENT* selected);
    void Processed(const EVENT* selected);
    // Unlocks the door shown in the live view, then the processed action.
    void Unlock(const EVENT* selected);

    // Shows the row's door (or input) camera and selects its device in the tree.
    void OnEventSelected(const EVENT* selected);
    ButtonState RefreshActionButtons(const EVENT* selected, bool listHasFocus) const;

private:
    void ProcessedWithoutStop(const EVENT* selected);

    CConnectionManager& m_manager;
    CEventMessageHandlers& m_handlers;
    EventAlertSink& m_alerts;
    EventLiveView& m_liveView;
};
