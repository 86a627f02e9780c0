#include "ui/eventlist/CEventSide.h"

#include "alerts/CAlarm.h"
#include "alerts/CEventAlert.h"
#include "alerts/COptions.h"
#include "alerts/COptionsDlg.h"
#include "alerts/SoundEffectPlayer.h"
#include "connection/ConnectionManager.h"
#include "connection/SnapshotDownload.h"
#include "events/AuditTrail.h"
#include "events/EventActions.h"
#include "events/EventAudit.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "events/EventMessageHandlers.h"
#include "events/EventPlace.h"
#include "events/SnapshotFiles.h"
#include "events/UnacknowledgedEvents.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/ProgramPaths.h"
#include "ui/eventlist/CEventListCtrl.h"
#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/UnlockQuestion.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The folder that holds "Wave/" (beside the program, or the installed share folder).
QString soundFolder()
{
    return QFileInfo(ProgramPaths::resourceFile(QStringLiteral("Wave"))).absolutePath();
}

} // namespace

CEventSide::CEventSide(CTNClientTestDlg& dialog, EventLiveView& liveView, SnapshotCapture* capture)
    : CEventSide(dialog, liveView, capture, nullptr)
{
}

CEventSide::CEventSide(CTNClientTestDlg& dialog, EventLiveView& liveView, SnapshotCapture* capture,
                       AlarmPlayer* player)
    : QObject(&dialog), m_dlg(dialog), m_liveView(liveView),
      m_options(std::make_unique<COptions>(soundFolder(), ProgramPaths::optionsFile())),
      // A sound that cannot be played falls back to the buzzer.
      m_ownPlayer(
          player ? nullptr
                 : std::make_unique<SoundEffectPlayer>(m_options->WaveFileFor(COptions::Buzzer))),
      m_player(player ? *player : *m_ownPlayer), m_alarm(std::make_unique<CAlarm>(m_player)),
      m_thumbnails(
          std::make_unique<CThumbnail>(ProgramPaths::resourceFile(QStringLiteral("NoImage.jpg")))),
      m_files(
          std::make_unique<SnapshotFiles>(SnapshotFiles::LimitFromProfile(m_options->iniPath()))),
      m_model(std::make_unique<CEventListModel>()),
      m_unacknowledged(std::make_unique<UnacknowledgedEvents>(*m_model, dialog.manager())),
      m_auditTrail(std::make_unique<AuditTrail>(
          QDir(ProgramPaths::stateDir()).filePath(QStringLiteral("Audit")))),
      m_audit(std::make_unique<CEventAudit>(*m_auditTrail, dialog.manager())),
      m_downloads(std::make_unique<CSnapshotDownloader>(dialog.manager(), dialog.snapshotFolder())),
      m_handlers(std::make_unique<CEventMessageHandlers>(
          dialog.manager(), *m_model, *this, *m_downloads, capture ? *capture : m_noCapture)),
      m_actions(std::make_unique<CEventActions>(dialog.manager(), *m_handlers, *m_model,
                                                *m_unacknowledged, *this, liveView))
{
    m_options->Load();
    m_thumbnails->Start();
    m_model->setPictureFiles(m_files.get());
    m_files->Follow(*m_downloads);
    connect(m_files.get(), &SnapshotFiles::fullChanged, this, &CEventSide::ShowFolderFull);

    auto* list = new CEventListCtrl(this, *m_model, m_thumbnails.get(), &dialog);
    m_list = list;
    m_alert = std::make_unique<CEventAlert>(dialog, list, *m_options, *m_alarm);
    dialog.setEventList(list, m_model.get());
    connect(m_alarm.get(), &CAlarm::soundWorksChanged, &dialog,
            [&dialog](bool works) { dialog.SetWarning(CTNClientTestDlg::AlarmSilent, !works); });
    connect(list, &CEventListCtrl::eventMenuRequested, this,
            [this](const QPoint& pos) { m_dlg.ShowEventMenu(pos, MenuState()); });
    ConnectDialog();
    ConnectAudit();
}

CEventSide::~CEventSide()
{
    // The list may outlive its model (Qt deletes the dialog's children one by one).
    if (m_list)
        m_list->setCallback(nullptr);
}

void CEventSide::ConnectDialog()
{
    const QPointer<CEventSide> self(this);
    m_dlg.setProcessedQuery([self] { return self && self->ProcessedEnabled(); });
    connect(&m_dlg, &CTNClientTestDlg::stopAlarmRequested, this, &CEventSide::StopAlarm);
    connect(&m_dlg, &CTNClientTestDlg::stopRingRequested, this, [this] { m_actions->StopRing(); });
    connect(&m_dlg, &CTNClientTestDlg::optionsRequested, this, &CEventSide::ShowOptions);
    // Speaker and microphone follow the same button through the live view.
    connect(&m_dlg, &CTNClientTestDlg::intercomToggled, this,
            [this](bool) { m_actions->Intercom(selectedEvent()); });
    connect(&m_dlg, &CTNClientTestDlg::processedRequested, this,
            [this] { m_actions->Processed(selectedEvent()); });
    connect(&m_dlg, &CTNClientTestDlg::unlockRequested, this,
            [this] { m_actions->Unlock(selectedEvent()); });
    m_actions->setUnlockConfirmation([this](const CEventActions::UnlockTarget& target) {
        return !m_options->askBeforeUnlock || AskBeforeUnlock(&m_dlg, target.place);
    });
}

void CEventSide::ConnectAudit()
{
    m_handlers->setAudit(m_audit.get());
    m_actions->setAudit(m_audit.get());
    connect(m_model.get(), &CEventListModel::eventPushedOut, this, [this](const EVENT& event) {
        if (event.state == EVENT::New)
            m_audit->PushedOut(event);
    });
    CConnectionManager& manager = m_dlg.manager();
    connect(&manager, &CConnectionManager::hostSaved, this, [this](int hostId, bool added) {
        if (const CKRHost* host = m_dlg.manager().FindHostById(hostId))
            m_audit->HostSaved(*host, added);
    });
    connect(&manager, &CConnectionManager::hostRemoved, this,
            [this](int hostId, const QString& name) { m_audit->HostRemoved(hostId, name); });
    // The live view has switched by the time these arrive (it was connected first): what it
    // reports is what happened.
    connect(&m_dlg, &CTNClientTestDlg::speakerToggled, this, [this](bool on) {
        m_audit->Audio(QStringLiteral("speaker"), on, m_liveView.cameraSelection(),
                       m_liveView.speakerOn() == on);
    });
    connect(&m_dlg, &CTNClientTestDlg::microphoneToggled, this, [this](bool on) {
        m_audit->Audio(QStringLiteral("microphone"), on, m_liveView.cameraSelection(),
                       m_liveView.microphoneOn() == on);
    });
}

EVENT* CEventSide::selectedEvent() const
{
    return m_list ? m_list->selectedEvent() : nullptr;
}

bool CEventSide::ProcessedEnabled() const
{
    const EVENT* selected = selectedEvent();
    return m_actions->RefreshActionButtons(selected, m_list && m_dlg.focusWidget() == m_list)
        .processed;
}

CTNClientTestDlg::EventMenuState CEventSide::MenuState() const
{
    const EVENT* selected = selectedEvent();
    CTNClientTestDlg::EventMenuState state;
    state.rowSelected = selected != nullptr;
    state.rowHandled = selected && selected->state == EVENT::Handled;
    state.speakerOn = m_liveView.speakerOn();
    state.microphoneOn = m_liveView.microphoneOn();
    return state;
}

void CEventSide::RaiseEventAlert(const EVENT&)
{
    m_alert->RaiseEventAlert();
}

void CEventSide::StopAlarm()
{
    m_alarm->StopAlarm();
}

void CEventSide::RefreshActionButtons()
{
    m_dlg.RefreshActionButtons();
}

void CEventSide::OnEventSelected(EVENT* event)
{
    m_actions->OnEventSelected(event);
    m_dlg.RefreshActionButtons();
}

QString CEventSide::GetEventDeviceText(int hostId, int controllerId, int doorId, int inputId)
{
    return EventPlace::Of(m_dlg.manager(), hostId, controllerId, doorId, inputId).DeviceText();
}

void CEventSide::PictureCaptured(const QString& path, bool written)
{
    m_files->PictureArrived(path, written);
    if (m_list)
        m_list->viewport()->update();
}

void CEventSide::ShowFolderFull(bool full)
{
    m_dlg.SetWarning(CTNClientTestDlg::SnapshotsFull, full);
}

void CEventSide::ShowOptions()
{
    COptionsDlg dialog(*m_options, m_player, &m_dlg);
    dialog.exec();
}
