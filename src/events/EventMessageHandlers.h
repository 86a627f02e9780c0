#pragma once

#include <QObject>
#include <QString>

class CConnectionManager;
class CEventAudit;
class CEventListModel;
class CSnapshotDownloader;
class EventAlertSink;
class SnapshotCapture;

// The live-event half of the host protocol: turns notifications and event logs into event-list
// rows, alerts and picture fetches, applies the host's handling confirmations, and sends the
// operator's door operations and acknowledgements.
class CEventMessageHandlers : public QObject
{
    Q_OBJECT

public:
    // Hosts at this server version or later send IS_INPUT_MESSAGE and LOG_WITH_IMAGE.
    static constexpr qint32 kImageLogVersion = 0x4030000;
    // Event logs are matched to rows of this log type.
    static constexpr qint32 kEventLogType = 2;
    // A NEW_EVENTLOG naming this door is kept even when the door is unknown.
    static constexpr qint32 kAnyDoorId = 255;

    enum DoorOperation
    {
        Unlock = 0,
        TalkStart = 1,
        Processed = 2,
        TalkEnd = 3
    };

    // Registers the seven incoming commands with the manager.
    CEventMessageHandlers(CConnectionManager& manager, CEventListModel& events,
                          EventAlertSink& alerts, CSnapshotDownloader& downloads,
                          SnapshotCapture& capture, QObject* parent = nullptr);

    // What became of an outgoing command: sent, or the first precondition that failed.
    enum class SendResult
    {
        Sent,
        HostNotConnected,
        UnknownDoor,
        DoorNotOperable, // the door's status does not allow operations
        UnknownOperation,
        NoDoorPrivilege,
        NoExecuteRight, // for the device group of the door's controller
        NotSent,        // the client control did not send it
    };
    // "host not connected", ... for the audit trail.
    static QString ReasonText(SendResult result);

    SendResult DoorOperation(int hostId, int controllerId, int doorId, int operation, int value);
    SendResult Acknowledge(bool handled, int hostId, qint32 logType, qint32 logId);
    // Each returns whether the command was sent; failing preconditions send nothing.
    bool SendDoorOperation(int hostId, int controllerId, int doorId, int operation, int value)
    {
        return DoorOperation(hostId, controllerId, doorId, operation, value) == SendResult::Sent;
    }
    bool SendEventHandling(int hostId, qint32 logType, qint32 logId)
    {
        return Acknowledge(false, hostId, logType, logId) == SendResult::Sent;
    }
    bool SendEventHandled(int hostId, qint32 logType, qint32 logId)
    {
        return Acknowledge(true, hostId, logType, logId) == SendResult::Sent;
    }
    bool SendUserActionLog(int hostId, const QString& messageData, const QString& operatorName);

    // The host's confirmations go into the audit trail (null: none).
    void setAudit(CEventAudit* audit) { m_audit = audit; }

    // True for message ids whose events carry no pictures.
    static bool IsPictureless(qint32 messageId);

private:
    void OnEvent(long connectionId);
    void OnEventLog(long connectionId);
    void OnEventHandling(long connectionId, bool handled);
    void OnSnapshotFinished(bool written);

    CConnectionManager& m_manager;
    CEventListModel& m_events;
    EventAlertSink& m_alerts;
    CSnapshotDownloader& m_downloads;
    SnapshotCapture& m_capture;
    CEventAudit* m_audit = nullptr;
    // The event whose notification started the alarm last.
    int m_alarmHost = -1;
    qint32 m_alarmLogType = 0;
    qint32 m_alarmLogId = 0;
};
