#include "events/EventMessageHandlers.h"

#include "connection/ConnectionManager.h"
#include "connection/FieldReader.h"
#include "connection/SnapshotDownload.h"
#include "events/EventAlertSink.h"
#include "events/EventAudit.h"
#include "events/EventListModel.h"
#include "events/SnapshotCapture.h"
#include "model/CKRHost.h"
#include "platform/PerfLog.h"
#include "tnclient/ClientControl.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Hosts send DIRECTION as a number; everything nonzero names the second camera.
qint32 directionIndexOf(qint32 received)
{
    return received == 0 ? 0 : 1;
}

// A picture's name below the snapshot folder: the record's day folder, then a folder of the
// host's own, since log ids are each host's own numbers and two hosts' events of one day may
// share one. Empty when the record has no name.
QString SnapshotName(const CKRHost& host, const CEventLogData& record, int directionIndex)
{
    const QString name = record.GetSnapshotFileName(directionIndex);
    if (name.isEmpty())
        return {};
    const QFileInfo file(name);
    return QStringLiteral("%1/%2/%3").arg(file.path()).arg(host.hostId).arg(file.fileName());
}

} // namespace

CEventMessageHandlers::CEventMessageHandlers(CConnectionManager& manager, CEventListModel& events,
                                             EventAlertSink& alerts, CSnapshotDownloader& downloads,
                                             SnapshotCapture& capture, QObject* parent)
    : QObject(parent), m_manager(manager), m_events(events), m_alerts(alerts),
      m_downloads(downloads), m_capture(capture)
{
    // Accepted and ignored: the event list shows notified events only.
    for (const char* ignored : {"NEW_ALARMLOG", "NEW_ACCESSLOG", "NEW_LPRLOG"})
        m_manager.RegisterCommand(QString::fromLatin1(ignored), [](const QString&, long) {});
    m_manager.RegisterCommand(QStringLiteral("KRNOTIFY_EVENT"),
                              [this](const QString&, long id) { OnEvent(id); });
    m_manager.RegisterCommand(QStringLiteral("NEW_EVENTLOG"),
                              [this](const QString&, long id) { OnEventLog(id); });
    m_manager.RegisterCommand(QStringLiteral("KRNOTIFY_EVENT_HANDLING"),
                              [this](const QString&, long id) { OnEventHandling(id, false); });
    m_manager.RegisterCommand(QStringLiteral("KRNOTIFY_EVENT_HANDLED"),
                              [this](const QString&, long id) { OnEventHandling(id, true); });
    connect(&m_downloads, &CSnapshotDownloader::snapshotFinished, this,
            [this](int, const QString&, bool written) { OnSnapshotFinished(written); });
}

bool CEventMessageHandlers::IsPictureless(qint32 m)
{
    return m == 22 || m == 24 || (m >= 32 && m <= 46) || (m >= 48 && m <= 52) ||
           (m >= 80 && m <= 88) || m == 96 || m == 97;
}

void CEventMessageHandlers::OnEvent(long connectionId)
{
    const CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader f(m_manager.control());
    auto event = std::make_unique<EVENT>();
    event->state = EVENT::New;
    event->hostId = host->hostId;
    event->logType = f.Int(QStringLiteral("L_TYPE"));
    event->logId = f.Int(QStringLiteral("L_ID"));
    event->messageId = f.Int(QStringLiteral("M_ID"));
    event->controllerId = f.Int(QStringLiteral("C_ID"));
    event->doorId = f.Int(QStringLiteral("D_ID"));
    event->inputId = f.Int(QStringLiteral("I_ID"));
    event->directionIndex = directionIndexOf(f.Int(QStringLiteral("DIRECTION")));
    event->localTime = f.Date(QStringLiteral("T_LOCAL"));
    event->utcTime = f.Date(QStringLiteral("T_UTC"));
    const EVENT* added = event.get();
    ++PerfLog::counters().eventsReceived;
    m_events.AddEvent(std::move(event));
    const qint64 rowAt = PerfLog::NowUs();
    m_alarmHost = added->hostId;
    m_alarmLogType = added->logType;
    m_alarmLogId = added->logId;
    m_alerts.RaiseEventAlert(*added);
    if (lcPerf().isDebugEnabled()) {
        const qint64 decodedAt = m_manager.control().MessageDecodedAt();
        qCDebug(lcPerf,
                "event host %d type %d log %d: decoded at %lld us, row added +%lld us, alarm "
                "started +%lld us",
                m_alarmHost, m_alarmLogType, m_alarmLogId, decodedAt, rowAt - decodedAt,
                PerfLog::NowUs() - decodedAt);
    }
}

void CEventMessageHandlers::OnEventLog(long connectionId)
{
    const CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader f(m_manager.control());
    const qint32 logId = f.Int(QStringLiteral("L_ID"));
    EVENT* row = m_events.FindEvent(host->hostId, kEventLogType, logId);
    if (!row)
        return;
    const bool newHost = host->serverVersion >= kImageLogVersion;
    const bool isInput = newHost && f.Int(QStringLiteral("IS_INPUT_MESSAGE")) != 0;
    const qint32 controllerId = f.Int(QStringLiteral("C_ID"));
    const qint32 doorId = f.Int(QStringLiteral("D_ID"));

    const CSiteConfig& site = host->siteConfig;
    const CDoor* door = nullptr;
    const CKRInput* input = nullptr;
    if (isInput) {
        input = site.FindInput(controllerId, doorId);
    } else {
        door = site.FindDoor(controllerId, doorId);
        if (!door && doorId != kAnyDoorId)
            return;
    }
    const bool liveEvent = f.Int(QStringLiteral("LIVE_EVENT")) != 0;
    const qint32 direction = directionIndexOf(f.Int(QStringLiteral("DIRECTION")));

    auto log = std::make_unique<CEventLogData>(logId);
    log->messageId = f.Int(QStringLiteral("M_ID"));
    log->messageContent = f.Int(QStringLiteral("M_CONTENT"));
    log->setCardBits(f.Int(QStringLiteral("CARD_BIT")));
    for (int i = 0; i < CEventLogData::kCardByteCount; ++i)
        log->setCardByte(i, f.Int("CARD_B%1", i));
    log->controllerId = controllerId;
    log->doorId = doorId;
    log->localTime = f.Date(QStringLiteral("T_LOCAL"));
    log->utcTime = f.Date(QStringLiteral("T_UTC"));
    const bool withImage = newHost && f.Int(QStringLiteral("LOG_WITH_IMAGE")) != 0;

    row->log = std::move(log);
    const CEventLogData& record = *row->log;
    if (!IsPictureless(record.messageId)) {
        const QDir folder(m_downloads.snapshotFolder());
        int downloaded = -1;
        if (withImage) {
            const QString name = SnapshotName(*host, record, direction);
            if (!name.isEmpty()) {
                m_events.AddSnapshotPath(row, folder.filePath(name));
                m_downloads.RequestSnapshotDownload(name, host->hostId, &record, direction + 1);
                downloaded = direction;
            }
        }
        if (liveEvent && (door || input)) {
            for (int i = 0; i < 2; ++i) {
                const QString name = SnapshotName(*host, record, i);
                if (i == downloaded || name.isEmpty())
                    continue;
                const CameraAssignment camera = door ? door->Camera(i) : input->Camera(i);
                m_events.AddSnapshotPath(row, folder.filePath(name));
                m_capture.CaptureSnapshot(name, host->hostId, camera.dvrId, camera.cameraNumber,
                                          camera.snapshotDelay, record.localTime, record.utcTime,
                                          record.card, record.controllerId, record.doorId, i);
            }
        }
    }
    m_events.EventChanged(row);
}

void CEventMessageHandlers::OnEventHandling(long connectionId, bool handled)
{
    const CKRHost* host = m_manager.FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader f(m_manager.control());
    const qint32 logType = f.Int(QStringLiteral("L_TYPE"));
    const qint32 logId = f.Int(QStringLiteral("L_ID"));
    EVENT* row = m_events.FindEvent(host->hostId, logType, logId);
    const bool applies = row && (handled || row->state == EVENT::New);
    if (applies)
        row->state = handled ? EVENT::Handled : EVENT::Handling;
    if (m_audit)
        m_audit->Confirmation(*host, logType, logId, handled, row, applies);
    if (!applies)
        return;
    // The alarm rings for the last notified event. A confirmation of an older event (another
    // monitor took it in hand) must not silence a newer one that nobody has seen yet.
    const EVENT* ringing = m_events.FindEvent(m_alarmHost, m_alarmLogType, m_alarmLogId);
    if (ringing == row || !ringing || ringing->state != EVENT::New)
        m_alerts.StopAlarm();
    m_alerts.RefreshActionButtons();
    m_events.EventChanged(row);
}

void CEventMessageHandlers::OnSnapshotFinished(bool written)
{
    // A picture that arrived is shown even when its host went away meanwhile.
    if (written)
        m_events.RefreshAll();
}

QString CEventMessageHandlers::ReasonText(SendResult result)
{
    switch (result) {
    case SendResult::Sent:
        return {};
    case SendResult::HostNotConnected:
        return QStringLiteral("host not connected");
    case SendResult::UnknownDoor:
        return QStringLiteral("door not known");
    case SendResult::DoorNotOperable:
        return QStringLiteral("door not operable");
    case SendResult::UnknownOperation:
        return QStringLiteral("operation not known");
    case SendResult::NoDoorPrivilege:
        return QStringLiteral("no door privilege");
    case SendResult::NoExecuteRight:
        return QStringLiteral("no execute right for the door's group");
    case SendResult::NotSent:
        return QStringLiteral("not sent");
    }
    return {};
}

CEventMessageHandlers::SendResult CEventMessageHandlers::DoorOperation(int hostId, int controllerId,
                                                                       int doorId, int operation,
                                                                       int value)
{
    const CKRHost* host = m_manager.FindHostById(hostId);
    if (!host || !host->connected)
        return SendResult::HostNotConnected;
    const CController* controller = host->siteConfig.FindController(controllerId);
    const CDoor* door = controller ? controller->FindDoor(doorId) : nullptr;
    if (!door)
        return SendResult::UnknownDoor;
    if (!(door->status & CDoor::kOperableStatusBit))
        return SendResult::DoorNotOperable;
    long code = 0, data = 0;
    switch (operation) {
    case Unlock:
        code = 22;
        data = 0;
        break;
    case TalkStart:
    case Processed:
    case TalkEnd:
        code = 31;
        data = long(value) * 256 + operation;
        break;
    default:
        return SendResult::UnknownOperation;
    }
    if (!host->hasPrivilege(CKRHost::kDoorPrivilege))
        return SendResult::NoDoorPrivilege;
    if (!host->hasExecuteRight(controller->deviceGroupId))
        return SendResult::NoExecuteRight;
    ClientControl& c = m_manager.control();
    c.SetIntField(QStringLiteral("C_ID"), controllerId);
    c.SetIntField(QStringLiteral("D_ID"), doorId);
    c.SetIntField(QStringLiteral("CONTROL_CODE"), code);
    c.SetIntField(QStringLiteral("DATA"), data);
    return c.SendCommand(QStringLiteral("DOOR_OPERATIONS"), host->connectionId)
               ? SendResult::Sent
               : SendResult::NotSent;
}

CEventMessageHandlers::SendResult CEventMessageHandlers::Acknowledge(bool handled, int hostId,
                                                                     qint32 logType, qint32 logId)
{
    const CKRHost* host = m_manager.FindHostById(hostId);
    if (!host || !host->connected)
        return SendResult::HostNotConnected;
    ClientControl& c = m_manager.control();
    c.SetIntField(QStringLiteral("L_TYPE"), logType);
    c.SetIntField(QStringLiteral("L_ID"), logId);
    const QString command = handled ? QStringLiteral("KRNOTIFY_NOTIFY_EVENT_HANDLED")
                                    : QStringLiteral("KRNOTIFY_NOTIFY_EVENT_HANDLING");
    return c.SendCommand(command, host->connectionId) ? SendResult::Sent : SendResult::NotSent;
}

bool CEventMessageHandlers::SendUserActionLog(int hostId, const QString& messageData,
                                              const QString& operatorName)
{
    const CKRHost* host = m_manager.FindHostById(hostId);
    if (!host || !host->connected)
        return false;
    ClientControl& c = m_manager.control();
    c.SetIntField(QStringLiteral("UA_MsgID"), 5002);
    c.SetIntField(QStringLiteral("UA_ActionType"), 10);
    c.SetIntField(QStringLiteral("UA_ClientType"), 11010);
    c.SetTextField(QStringLiteral("UA_MsgData"), messageData);
    c.SetTextField(QStringLiteral("UA_Operator"), operatorName);
    return c.SendCommand(QStringLiteral("ADD_USER_ACTION_LOG"), host->connectionId);
}
