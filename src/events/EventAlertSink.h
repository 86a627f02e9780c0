#pragma once

struct EVENT;

// What the event side asks of the operator window: the alert for a new row, stopping the
// alarm, and refreshing the enabled state of the event actions.
class EventAlertSink
{
public:
    virtual ~EventAlertSink() = default;

    virtual void RaiseEventAlert(const EVENT& event) = 0;
    virtual void StopAlarm() = 0;
    virtual void RefreshActionButtons() = 0;
};
