#pragma once

#include <QObject>
#include <QString>

class CConnectionManager;
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

    // Each returns whether the command was sent; failing preconditions send nothing.
    bool SendDoorOperation(int hostId, int controllerId, int doorId, int operation, int value);
    bool SendEventHandling(int hostId, qint32 logType, qint32 logId);
    bool SendEventHandled(int hostId, qint32 logType, qint32 logId);
    bool SendUserActionLog(int hostId, const QString& messageData, const QString& operatorName);

    // True for message ids whose events carry no pictures.
    static bool IsPictureless(qint32 messageId);

private:
    void OnEvent(long connectionId);
    void OnEventLog(long connectionId);
    void OnEventHandling(long connectionId, bool handled);
    void OnSnapshotFinished(bool written);
    bool SendAcknowledgement(const QString& command, int hostId, qint32 logType, qint32 logId);

    CConnectionManager& m_manager;
    CEventListModel& m_events;
    EventAlertSink& m_alerts;
    CSnapshotDownloader& m_downloads;
    SnapshotCapture& m_capture;
    // The event whose notification started the alarm last.
    int m_alarmHost = -1;
    qint32 m_alarmLogType = 0;
    qint32 m_alarmLogId = 0;
};
