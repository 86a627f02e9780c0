#include "events/EventAudit.h"

#include "connection/ConnectionManager.h"
#include "events/AuditRecord.h"
#include "events/AuditTrail.h"
#include "events/EventListModel.h"
#include "events/EventPlace.h"
#include "events/EventSeverity.h"
#include "model/CKRHost.h"

AuditOutcome AuditOutcome::Of(CEventMessageHandlers::SendResult result)
{
    if (result == CEventMessageHandlers::SendResult::Sent)
        return {Sent, {}};
    return {Refused, CEventMessageHandlers::ReasonText(result)};
}

QString AuditOutcome::KindText() const
{
    switch (kind) {
    case Sent:
        return QStringLiteral("sent");
    case Refused:
        return QStringLiteral("refused");
    case Skipped:
        return QStringLiteral("skipped");
    case Cancelled:
        return QStringLiteral("cancelled");
    case Done:
        return QStringLiteral("done");
    case Unacknowledged:
        return QStringLiteral("unacknowledged");
    case None:
        return QStringLiteral("none");
    }
    return {};
}

QString AuditOutcome::Text() const
{
    return reason.isEmpty() ? KindText() : KindText() + QStringLiteral(" (") + reason + u')';
}

CEventAudit::CEventAudit(AuditTrail& trail, CConnectionManager& manager)
    : m_trail(trail), m_manager(manager)
{
}

AuditRecord CEventAudit::Begin(const QString& action, const AuditOutcome& outcome)
{
    AuditRecord record(action);
    record.Text(QLatin1String("outcome"), outcome.KindText());
    if (!outcome.reason.isEmpty())
        record.Text(QLatin1String("reason"), outcome.reason);
    return record;
}

void CEventAudit::AddPlace(AuditRecord& record, int hostId, int controllerId, int doorId,
                           int inputId)
{
    const EventPlace place = EventPlace::Of(m_manager, hostId, controllerId, doorId, inputId);
    record.Text(QLatin1String("host"), place.host)
        .Number(QLatin1String("hostId"), hostId)
        .Text(QLatin1String("user"), place.user);
    if (place.controllerKnown)
        record.Text(QLatin1String("controller"), place.controller);
    if (place.doorKnown)
        record.Text(QLatin1String("door"), place.door);
    if (place.inputKnown)
        record.Text(QLatin1String("input"), place.input);
}

void CEventAudit::AddEvent(AuditRecord& record, const EVENT& event)
{
    AddPlace(record, event.hostId, event.controllerId, event.doorId, event.inputId);
    record.Number(QLatin1String("logType"), event.logType)
        .Number(QLatin1String("logId"), event.logId)
        .Text(QLatin1String("message"), CEventListModel::MessageText(event))
        .Text(QLatin1String("severity"),
              EventSeverityTable::Name(EventSeverityTable::Instance().Of(event)));
}

void CEventAudit::Write(const AuditRecord& record)
{
    m_trail.Append(record);
}

void CEventAudit::StopRing(int pushedOutAcknowledged)
{
    AuditRecord record = Begin(QStringLiteral("stop ring"), {AuditOutcome::Done, {}});
    record.Number(QLatin1String("pushedOutAcknowledged"), pushedOutAcknowledged);
    Write(record);
}

void CEventAudit::ClearPushedOut(int pushedOutAcknowledged)
{
    AuditRecord record = Begin(QStringLiteral("clear pushed out"), {AuditOutcome::Done, {}});
    record.Number(QLatin1String("pushedOutAcknowledged"), pushedOutAcknowledged);
    Write(record);
}

void CEventAudit::Intercom(const EVENT* selected, const AuditOutcome& handling)
{
    AuditRecord record = Begin(QStringLiteral("intercom"), handling);
    if (selected)
        AddEvent(record, *selected);
    Write(record);
}

void CEventAudit::Processed(const EVENT* selected, const AuditOutcome& acknowledgement,
                            const AuditOutcome& doorOperation)
{
    AuditRecord record = Begin(QStringLiteral("processed"), acknowledgement);
    if (selected)
        AddEvent(record, *selected);
    record.Text(QLatin1String("doorOperation"), doorOperation.Text());
    Write(record);
}

void CEventAudit::Unlock(const CameraSelection& door, const EVENT* selected,
                         const AuditOutcome& unlock, const AuditOutcome& processed)
{
    AuditRecord record = Begin(QStringLiteral("unlock"), unlock);
    AddPlace(record, door.hostId, door.controllerId, door.doorId, -1);
    record.Number(QLatin1String("controllerId"), door.controllerId)
        .Number(QLatin1String("doorId"), door.doorId);
    if (selected) {
        // The event processed with the unlock, possibly of another door.
        record.Number(QLatin1String("logType"), selected->logType)
            .Number(QLatin1String("logId"), selected->logId)
            .Text(QLatin1String("message"), CEventListModel::MessageText(*selected));
    }
    record.Text(QLatin1String("processed"), processed.Text());
    Write(record);
}

void CEventAudit::Audio(const QString& device, bool on, const CameraSelection& camera, bool done)
{
    const QString action = device + (on ? QStringLiteral(" on") : QStringLiteral(" off"));
    AuditRecord record =
        Begin(action, done ? AuditOutcome{AuditOutcome::Done, {}}
                           : AuditOutcome{AuditOutcome::Refused, QStringLiteral("not available")});
    AddPlace(record, camera.hostId, camera.controllerId, camera.doorId, camera.inputId);
    record.Number(QLatin1String("dvrId"), camera.dvrId)
        .Number(QLatin1String("camera"), camera.camera);
    Write(record);
}

void CEventAudit::Confirmation(const CKRHost& host, qint32 logType, qint32 logId, bool handled,
                               const EVENT* row, bool applied)
{
    const AuditOutcome outcome =
        applied ? AuditOutcome{AuditOutcome::Done, {}}
                : AuditOutcome{AuditOutcome::Skipped, row ? QStringLiteral("state unchanged")
                                                          : QStringLiteral("event not listed")};
    AuditRecord record = Begin(handled ? QStringLiteral("host confirmed handled")
                                       : QStringLiteral("host confirmed handling"),
                               outcome);
    if (row) {
        AddEvent(record, *row);
    } else {
        AddPlace(record, host.hostId, -1, -1, -1);
        record.Number(QLatin1String("logType"), logType).Number(QLatin1String("logId"), logId);
    }
    Write(record);
}

void CEventAudit::PushedOut(const EVENT& event)
{
    AuditRecord record = Begin(QStringLiteral("pushed out"), {AuditOutcome::Unacknowledged, {}});
    AddEvent(record, event);
    Write(record);
}

void CEventAudit::HostSaved(const CKRHost& host, bool added)
{
    AuditRecord record = Begin(added ? QStringLiteral("host added") : QStringLiteral("host edited"),
                               {AuditOutcome::Done, {}});
    AddPlace(record, host.hostId, -1, -1, -1);
    record.Text(QLatin1String("address"), host.address).Number(QLatin1String("port"), host.port);
    Write(record);
}

void CEventAudit::HostRemoved(int hostId, const QString& name)
{
    AuditRecord record = Begin(QStringLiteral("host removed"), {AuditOutcome::Done, {}});
    record.Text(QLatin1String("host"), name).Number(QLatin1String("hostId"), hostId);
    Write(record);
}
