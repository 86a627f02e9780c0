#include "video/CVideoSide.h"

#include "connection/ConnectionManager.h"
#include "events/EventMessageHandlers.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "ui/mainwindow/CTNClientTestDlg.h"
#include "video/CIPCamProfileList.h"
#include "video/CLiveView.h"
#include "video/KRVideoLibrary.h"
#include "video/VideoMessageBox.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcVideoSide, "krnotify.video.side")

namespace {
std::unique_ptr<VideoLibrary> RealLibrary()
{
    CIPCamProfileList::InstallDefault();
    return std::make_unique<KRVideoLibrary>();
}
} // namespace

CVideoSide::CVideoSide(CTNClientTestDlg& dialog) : CVideoSide(dialog, RealLibrary()) {}

CVideoSide::CVideoSide(CTNClientTestDlg& dialog, std::unique_ptr<VideoLibrary> library)
    : QObject(&dialog), m_dlg(dialog),
      m_live(std::make_unique<CLiveVideo>(std::move(library), static_cast<LiveVideoSite&>(*this)))
{
    m_live->setSnapshotFolder(dialog.snapshotFolder());
    auto* view = new CLiveView(*m_live, &dialog);
    m_view = view;
    // Without a video window the view stays an empty area: no camera is shown, audio and
    // captures still work.
    if (!view->Create())
        qCWarning(lcVideoSide) << "the video library refused the live view's window";
    dialog.setLiveView(view, m_live.get());
    ConnectDialog();
    // The talk status reaches the live video from here on (the end of the window's creation).
    m_live->setAudioMessagesEnabled(true);
}

CVideoSide::~CVideoSide()
{
    // First thing at destruction: no more talk statuses. The rest goes with the live video
    // (the library instance) and, separately, with the view.
    m_live->setAudioMessagesEnabled(false);
}

void CVideoSide::ConnectDialog()
{
    connect(&m_dlg, &CTNClientTestDlg::speakerToggled, m_live.get(), &CLiveVideo::SetSpeaker);
    connect(&m_dlg, &CTNClientTestDlg::microphoneToggled, m_live.get(), &CLiveVideo::SetMicrophone);
    // The intercom button needs nothing of its own here: the dialog checks both buttons and
    // follows it with speakerToggled and microphoneToggled.
    connect(&m_dlg, &CTNClientTestDlg::cameraSelected, m_live.get(), &CLiveVideo::SelectCamera);

    connect(m_live.get(), &CLiveVideo::audioButtonsEnabled, this,
            &CVideoSide::SetAudioButtonsEnabled);
    connect(m_live.get(), &CLiveVideo::audioButtonsChecked, this,
            &CVideoSide::SetAudioButtonsChecked);
    connect(m_live.get(), &CLiveVideo::actionButtonsChanged, &m_dlg,
            &CTNClientTestDlg::RefreshActionButtons);
    connect(m_live.get(), &CLiveVideo::speakerToolTipChanged, this, [this](const QString& key) {
        m_dlg.toolBar().setCommandToolTipKey(CTNClientTestDlg::CmdSpeaker, key);
    });
    connect(m_live.get(), &CLiveVideo::messageRequested, this,
            [this](const QString& key, CLiveVideo::MessageIcon icon) {
                ShowVideoMessage(&m_dlg, key, icon);
            });
}

void CVideoSide::SetAudioButtonsEnabled(bool enabled)
{
    CAlphaToolBar& toolBar = m_dlg.toolBar();
    for (int command : {CTNClientTestDlg::CmdSpeaker, CTNClientTestDlg::CmdMicrophone,
                        CTNClientTestDlg::CmdIntercom})
        toolBar.setCommandEnabled(command, enabled);
}

void CVideoSide::SetAudioButtonsChecked(bool speaker, bool microphone, bool intercom)
{
    CAlphaToolBar& toolBar = m_dlg.toolBar();
    toolBar.setCommandChecked(CTNClientTestDlg::CmdSpeaker, speaker);
    toolBar.setCommandChecked(CTNClientTestDlg::CmdMicrophone, microphone);
    toolBar.setCommandChecked(CTNClientTestDlg::CmdIntercom, intercom);
}

void CVideoSide::setEventSide(CEventSide* events)
{
    m_events = events;
    if (events)
        connect(m_live.get(), &CLiveVideo::snapshotCaptured, events, &CEventSide::PictureCaptured,
                Qt::UniqueConnection);
}

void CVideoSide::SelectCamera(const CameraSelection& selection)
{
    m_live->SelectCamera(selection);
}

void CVideoSide::SelectPath(int hostId, int kind, const CameraSelection& selection)
{
    m_dlg.SelectPath(hostId, kind, selection);
}

CKRHost* CVideoSide::FindHostById(int hostId) const
{
    return m_dlg.manager().FindHostById(hostId);
}

CEventMessageHandlers* CVideoSide::HostCommands() const
{
    return m_events ? &m_events->handlers() : nullptr;
}

bool CVideoSide::SendDoorOperation(int hostId, int controllerId, int doorId, int operation,
                                   int value)
{
    CEventMessageHandlers* commands = HostCommands();
    if (!commands) {
        qCInfo(lcVideoSide) << "no event side: door operation" << operation << "not sent";
        return false;
    }
    return commands->SendDoorOperation(hostId, controllerId, doorId, operation, value);
}

bool CVideoSide::SendUserActionLog(int hostId, const QString& messageData,
                                   const QString& operatorName)
{
    CEventMessageHandlers* commands = HostCommands();
    return commands && commands->SendUserActionLog(hostId, messageData, operatorName);
}
