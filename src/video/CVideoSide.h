#pragma once

#include "events/EventLiveView.h"
#include "ui/eventlist/CEventSide.h"
#include "video/CLiveVideo.h"
#include "video/CLiveView.h"
#include "video/LiveVideoSite.h"

#include <QObject>
#include <QPointer>

#include <memory>

class CEventMessageHandlers;
class CTNClientTestDlg;
class VideoLibrary;

// The video side of the operator window. Creates the video library instance, the live-video
// logic and the live view, and plugs them into the main dialog: the view takes the dialog's
// live-view area, the connection core reports video sources to the logic, the toolbar's
// speaker and microphone buttons (and the intercom button, which the dialog turns into both)
// switch the audio, tree selections show their camera, and the logic sets the buttons'
// enabled and checked states and shows its message boxes over the dialog.
//
// The event side reaches the live view through this object (EventLiveView) and takes captures
// through liveVideo(). The door operations that start and end a call, and the user-action log
// of listening, are sent by the event side's message handlers when the dialog has an event
// side; without one they are not sent.
//
// A QObject child of the dialog, created after the dialog's Create() succeeded, and living as
// long as the dialog: the connection core reports to liveVideo() until the dialog's destructor
// has released every host. Its destructor touches neither the dialog nor the connection core;
// the live view may go first.
class CVideoSide : public QObject, public EventLiveView, private LiveVideoSite
{
    Q_OBJECT

public:
    // The real video library, and the camera profile file beside the program.
    explicit CVideoSide(CTNClientTestDlg& dialog);
    // Tests pass their own library.
    CVideoSide(CTNClientTestDlg& dialog, std::unique_ptr<VideoLibrary> library);
    ~CVideoSide() override;

    CLiveVideo& liveVideo() { return *m_live; }
    // The door operations and user-action logs of a call go to the hosts through the event
    // side's message handlers; without one they are not sent. A finished capture repaints the
    // event side's list.
    void setEventSide(CEventSide* events);
    // Null once the dialog has deleted it.
    CLiveView* liveView() const { return m_view; }

    // EventLiveView
    CameraSelection cameraSelection() const override { return m_live->cameraSelection(); }
    void SelectCamera(const CameraSelection& selection) override;
    void SelectPath(int hostId, int kind, const CameraSelection& selection) override;
    bool SetSpeaker(bool on) override { return m_live->SetSpeaker(on); }
    bool SetMicrophone(bool on) override { return m_live->SetMicrophone(on); }
    bool speakerOn() const override { return m_live->speakerOn(); }
    bool microphoneOn() const override { return m_live->microphoneOn(); }
    bool isTalking() const override { return m_live->isTalking(); }

private:
    // LiveVideoSite
    CKRHost* FindHostById(int hostId) const override;
    bool SendDoorOperation(int hostId, int controllerId, int doorId, int operation,
                           int value) override;
    bool SendUserActionLog(int hostId, const QString& messageData,
                           const QString& operatorName) override;

    // The event side's message handlers, looked up when needed (the event side is created
    // after this object).
    CEventMessageHandlers* HostCommands() const;
    void ConnectDialog();
    void SetAudioButtonsEnabled(bool enabled);
    void SetAudioButtonsChecked(bool speaker, bool microphone, bool intercom);

    CTNClientTestDlg& m_dlg;
    std::unique_ptr<CLiveVideo> m_live;
    QPointer<CLiveView> m_view;
    QPointer<CEventSide> m_events;
};
