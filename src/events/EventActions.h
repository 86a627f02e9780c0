#pragma once

#include "connection/SiteViews.h"
#include "events/EventPlace.h"

#include <functional>

class CConnectionManager;
class CEventAudit;
class CEventListModel;
class CEventMessageHandlers;
class EventAlertSink;
class EventLiveView;
class UnacknowledgedEvents;
struct AuditOutcome;
struct EVENT;

// The operator's actions on events (toolbar, event menu, keyboard): stop ring, intercom,
// processed, unlock; the camera and tree selection that follows a selected row; and which
// actions are enabled. Each action first stops the alarm. Acknowledgements change nothing
// locally: the row changes when the host confirms. Switching speaker and microphone is the live
// view's. Each action leaves a line in the audit trail when there is one.
class CEventActions
{
public:
    struct ButtonState
    {
        bool processed = false;
        bool unlock = false;
    };
    // The door an unlock would open, named for the operator's confirmation.
    struct UnlockTarget
    {
        CameraSelection door;
        EventPlace place;
    };
    // Asks the operator; true to go ahead.
    using UnlockConfirmation = std::function<bool(const UnlockTarget&)>;

    CEventActions(CConnectionManager& manager, CEventMessageHandlers& handlers,
                  CEventListModel& events, UnacknowledgedEvents& unacknowledged,
                  EventAlertSink& alerts, EventLiveView& liveView);

    void setAudit(CEventAudit* audit) { m_audit = audit; }
    // Asked before a known door is unlocked (none: unlock without asking).
    void setUnlockConfirmation(UnlockConfirmation confirm) { m_confirmUnlock = std::move(confirm); }

    // Stops the alarm; the operator has now been told of the pushed-out events too.
    void StopRing();
    // The list's bar: the operator has seen that events were pushed out.
    void ClearPushedOut();
    // The intercom button was pressed: asks the host to mark a new selected event as being
    // handled. The button also switches speaker and microphone, through the live view.
    void Intercom(const EVENT* selected);
    void Processed(const EVENT* selected);
    // Unlocks the door shown in the live view (after the operator confirmed it, when asked),
    // then the processed action for the selected row if it is still listed.
    void Unlock(const EVENT* selected);

    // Shows the row's door (or input) camera and selects its device in the tree.
    void OnEventSelected(const EVENT* selected);
    ButtonState RefreshActionButtons(const EVENT* selected, bool listHasFocus) const;

private:
    struct ProcessedOutcome;
    ProcessedOutcome ProcessedWithoutStop(const EVENT* selected);

    CConnectionManager& m_manager;
    CEventMessageHandlers& m_handlers;
    CEventListModel& m_events;
    UnacknowledgedEvents& m_unacknowledged;
    EventAlertSink& m_alerts;
    EventLiveView& m_liveView;
    CEventAudit* m_audit = nullptr;
    UnlockConfirmation m_confirmUnlock;
};
