#pragma once

#include "events/EventAlertSink.h"
#include "events/SnapshotCapture.h"
#include "ui/eventlist/CEventListCtrl.h"
#include "ui/eventlist/CEventListCtrlCallback.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QObject>
#include <QPointer>

#include <memory>

class AlarmPlayer;
class AuditTrail;
class CAlarm;
class CEventActions;
class CEventAlert;
class CEventAudit;
class CEventListModel;
class CEventMessageHandlers;
class COptions;
class CSnapshotDownloader;
class CThumbnail;
class EventLiveView;
class SnapshotFiles;
class UnacknowledgedEvents;

// The event side of the operator window. Creates the event list with its model, thumbnail
// loader and popup, the log and event message handlers (registered with the dialog's connection
// core), the snapshot download and the snapshot files, the operator's event actions, the options
// and the alarm, and plugs them into the main dialog: the list takes the dialog's event-list
// area, the toolbar's event commands and the event menu act on the selected row, the alert raises
// the dialog, and the dialog's title says when the snapshot folder is full.
//
// Attached right after the dialog's Create() (which lays out its placeholder areas) and before
// any host connects. A QObject child of the dialog. Its destructor touches neither the dialog nor
// the connection core (both are half gone when Qt deletes the dialog's children); the list may go
// first.
class CEventSide : public QObject, public CEventListCtrlCallback, public EventAlertSink
{
    Q_OBJECT

public:
    // capture may be null: live pictures are then not taken.
    CEventSide(CTNClientTestDlg& dialog, EventLiveView& liveView, SnapshotCapture* capture);
    // Tests pass the alarm player (null: the real sound player).
    CEventSide(CTNClientTestDlg& dialog, EventLiveView& liveView, SnapshotCapture* capture,
               AlarmPlayer* player);
    ~CEventSide() override;

    CEventListCtrl* eventList() const { return m_list; }
    CEventListModel& model() { return *m_model; }
    COptions& options() { return *m_options; }
    CAlarm& alarm() { return *m_alarm; }
    CThumbnail& thumbnails() { return *m_thumbnails; }
    CSnapshotDownloader& downloads() { return *m_downloads; }
    SnapshotFiles& pictureFiles() { return *m_files; }
    CEventMessageHandlers& handlers() { return *m_handlers; }
    CEventActions& actions() { return *m_actions; }
    UnacknowledgedEvents& unacknowledged() { return *m_unacknowledged; }
    AuditTrail& auditTrail() { return *m_auditTrail; }
    EVENT* selectedEvent() const;

    // Processed applies when the list is the window's focus widget and its selected row is not
    // handled.
    bool ProcessedEnabled() const;
    CTNClientTestDlg::EventMenuState MenuState() const;

    // EventAlertSink
    void RaiseEventAlert(const EVENT& event) override;
    void StopAlarm() override;
    void RefreshActionButtons() override;

    // CEventListCtrlCallback
    void OnEventSelected(EVENT* event) override;
    QString GetEventDeviceText(int hostId, int controllerId, int doorId, int inputId) override;

public Q_SLOTS:
    // A capture ended with its picture at path written or not: the thumbnails follow, and a
    // picture no row shows any more is deleted.
    void PictureCaptured(const QString& path, bool written);
    // The options dialog, modal; OK saves the options file.
    void ShowOptions();

private:
    // Stands in when no camera capture is given.
    struct NoCapture : SnapshotCapture
    {
        void CaptureSnapshot(const QString&, int, int, int, int, const COleDateTime&,
                             const COleDateTime&, const CEventLogData::CardBlock&, int, int,
                             int) override
        {
        }
    };

    void ConnectDialog();
    void ConnectAudit();
    void ShowFolderFull(bool full);

    CTNClientTestDlg& m_dlg;
    EventLiveView& m_liveView;
    NoCapture m_noCapture;
    std::unique_ptr<COptions> m_options;
    std::unique_ptr<AlarmPlayer> m_ownPlayer;
    AlarmPlayer& m_player;
    std::unique_ptr<CAlarm> m_alarm;
    std::unique_ptr<CThumbnail> m_thumbnails;
    std::unique_ptr<SnapshotFiles> m_files; // outlives the rows that hold its pictures
    std::unique_ptr<CEventListModel> m_model;
    std::unique_ptr<UnacknowledgedEvents> m_unacknowledged;
    std::unique_ptr<AuditTrail> m_auditTrail;
    std::unique_ptr<CEventAudit> m_audit;
    std::unique_ptr<CSnapshotDownloader> m_downloads;
    std::unique_ptr<CEventMessageHandlers> m_handlers;
    std::unique_ptr<CEventActions> m_actions;
    QPointer<CEventListCtrl> m_list;
    std::unique_ptr<CEventAlert> m_alert;
};
