#pragma once

#include "events/EventMessageHandlers.h"

#include <QString>

class AuditRecord;
class AuditTrail;
class CConnectionManager;
class CKRHost;
struct CameraSelection;
struct EVENT;

// What became of one step of an operator's action, as the audit trail tells it.
struct AuditOutcome
{
    enum Kind
    {
        Sent,
        Refused,        // a precondition failed; reason says which
        Skipped,        // left out on purpose; reason says why
        Cancelled,      // the operator said no
        Done,           // took effect (a local action, a host's confirmation)
        Unacknowledged, // an event left the list before anyone took it in hand
        None,           // there was nothing to act on
    };
    Kind kind = None;
    QString reason;

    static AuditOutcome Of(CEventMessageHandlers::SendResult result);
    // "sent", "refused (no door privilege)", ...: a step inside a line.
    QString Text() const;
    // "sent", "refused", ...: the line's own outcome (its reason goes in a field of its own).
    QString KindText() const;
};

// Writes the operator's actions and the hosts' confirmations into the audit trail, one line
// each, with the names of the host, the controller and the door as the site model knows them
// at that moment, the event (log type and log id) and the message text.
class CEventAudit
{
public:
    CEventAudit(AuditTrail& trail, CConnectionManager& manager);

    void StopRing(int pushedOutAcknowledged);
    void ClearPushedOut(int pushedOutAcknowledged);
    void Intercom(const EVENT* selected, const AuditOutcome& handling);
    void Processed(const EVENT* selected, const AuditOutcome& acknowledgement,
                   const AuditOutcome& doorOperation);
    void Unlock(const CameraSelection& door, const EVENT* selected, const AuditOutcome& unlock,
                const AuditOutcome& processed);
    // Speaker or microphone switched on or off at the camera shown in the live view.
    void Audio(const QString& device, bool on, const CameraSelection& camera, bool done);
    // A host's KRNOTIFY_EVENT_HANDLING or _HANDLED; row is null when the event is not listed.
    void Confirmation(const CKRHost& host, qint32 logType, qint32 logId, bool handled,
                      const EVENT* row, bool applied);
    // A row still new left the list for the 300-row cap: nobody has seen it.
    void PushedOut(const EVENT& event);
    // The operator added a host or changed its settings.
    void HostSaved(const CKRHost& host, bool added);
    void HostRemoved(int hostId, const QString& name);

private:
    static AuditRecord Begin(const QString& action, const AuditOutcome& outcome);
    void AddEvent(AuditRecord& record, const EVENT& event);
    void AddPlace(AuditRecord& record, int hostId, int controllerId, int doorId, int inputId);
    void Write(const AuditRecord& record);

    AuditTrail& m_trail;
    CConnectionManager& m_manager;
};
