#pragma once

#include "connection/SiteViews.h"
#include "events/SnapshotCapture.h"
#include "video/CLiveConnectionList.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CDvr;
class CKRHost;
class LiveVideoSite;
class QWidget;
class VideoLibrary;

// Live video and two-way audio: the program's video connections to every host's video sources,
// the camera shown in the live view, listening to it and talking through it to the door
// station (with the door operations that start and end the call), and camera captures of event
// pictures. Lives on the user-interface thread; the library's reports arrive as queued signals.
//
// A door camera reached through its controller (a camera source kept under the recorder) is
// shown, heard and spoken to through the camera source's own connection, as camera 0 there, and
// its codec report marks the camera source; captures go through the recorder's connection.
// Switching audio off always works, whatever became of the selection since it was switched on.
//
// The core reaches it as its LiveViewSink, the event side as its SnapshotCapture; CVideoSide
// connects the toolbar to SetSpeaker / SetMicrophone / SelectCamera and follows the signals
// below for the buttons and the message boxes.
class CLiveVideo : public QObject, public LiveViewSink, public SnapshotCapture
{
    Q_OBJECT

public:
    struct TalkTarget
    {
        int hostId = -1;
        int controllerId = -1;
        int doorId = -1;
        int direction = -1;
    };

    // What the live view window shows.
    struct ShownCamera
    {
        int hostId = -1;
        int dvrId = -1;
        int camera = -1;
        int value1 = -1; // controller id, or 0
        int value2 = -1; // door id, or 0
        bool showing = false;
    };

    enum class MessageIcon
    {
        Information,
        Warning
    };

    // Creates the library instance with the process's camera callback; the camera messages
    // (close, busy, codec, capture) are received from here on.
    CLiveVideo(std::unique_ptr<VideoLibrary> library, LiveVideoSite& site,
               QObject* parent = nullptr);
    // Stops receiving every message, then destroys the library instance.
    ~CLiveVideo() override;

    VideoLibrary& library() { return *m_library; }
    const CLiveConnectionList& connections() const { return m_connections; }

    // The talk-status message is received only while this is on (the end of the main dialog's
    // creation to the start of its destruction).
    void setAudioMessagesEnabled(bool enabled);
    void setSnapshotFolder(const QString& folder) { m_snapshotFolder = folder; }

    // The live view's video window (from LiveVideo_Create), or null when the view goes away
    // (the shown ids are cleared then).
    void attachVideoWindow(QWidget* window);
    void detachVideoWindow();
    const ShownCamera& shownCamera() const { return m_shown; }

    // Connections.
    void OpenConnection(const CDvr& dvr, int hostId, int camera);
    void CloseConnection(int hostId, const CDvr& dvr, int camera);
    // True when the host exists, the source is one of its, and it is served per camera.
    bool IsDvrPerCamera(int hostId, int dvrId) const;
    int GetConnectionCamera(int hostId, int dvrId, int camera) const;

    // LiveViewSink
    void ConnectDvr(const CKRHost& host, const CDvr& dvr) override;
    void DisconnectDvr(const CKRHost& host, const CDvr& dvr) override;
    void DisconnectHost(const CKRHost& host) override;
    CameraSelection cameraSelection() const override { return m_selection; }
    void SetCamera(int hostId, int dvrId, int camera, int value1, int value2) override;

    // Selection and audio.
    void SelectCamera(const CameraSelection& selection);
    // True when the audio was switched on.
    bool SetSpeaker(bool on);
    bool SetMicrophone(bool on);
    bool speakerOn() const { return m_speakerOn; }
    bool microphoneOn() const { return m_microphoneOn; }
    bool isTalking() const { return m_talkTarget.hostId >= 0; }
    TalkTarget talkTarget() const { return m_talkTarget; }

    // SnapshotCapture
    void CaptureSnapshot(const QString& relativeName, int hostId, int dvrId, int cameraNumber,
                         int delaySeconds, const COleDateTime& localTime,
                         const COleDateTime& utcTime, const CEventLogData::CardBlock& cardBlock,
                         int controllerId, int doorId, int directionIndex) override;

    // The library's reports (normally delivered by KRVideoMessages).
    void OnCameraClose(int handle);
    void OnBusy();
    void OnAudioCodecType(int handle, int listenCodec, int talkCodec);
    void OnAudioAppToCamera(int status);
    // Whether the sound of the camera listened to can be played (KRVideoAudioOutput).
    void OnAudioOutput(int handle, int status);

Q_SIGNALS:
    // Speaker, microphone and intercom buttons: usable or not.
    void audioButtonsEnabled(bool enabled);
    // Their checked states; intercom = speaker and microphone.
    void audioButtonsChecked(bool speaker, bool microphone, bool intercom);
    // The camera selection changed: Processed and Unlock may change.
    void actionButtonsChanged();
    // A message box with this string-table key, the main dialog's title and this icon.
    void messageRequested(const QString& key, CLiveVideo::MessageIcon icon);
    // The Speaker button's tooltip: a key that says why listening plays nothing (no working
    // sound output), or empty when it plays again.
    void speakerToolTipChanged(const QString& key);
    // A capture that had a frame ended, its picture at path written or not: the event list is
    // redrawn to pick up the picture.
    void snapshotCaptured(const QString& path, bool written);

private:
    // The source the selection's camera is seen through, and its camera number there.
    struct AudioTarget
    {
        const CKRHost* host = nullptr;
        const CDvr* dvr = nullptr;    // the selected source, named in the user-action log
        const CDvr* source = nullptr; // the source connected: dvr, or its camera source
        int camera = -1;
    };
    AudioTarget ResolveSelection() const;
    static CDvr* FindVideoSource(const CKRHost& host, int dvrId);
    const CLiveConnectionList::LIVE_ITEM* ConnectionOf(const AudioTarget& target) const;
    void CloseWhere(const std::function<bool(const CLiveConnectionList::LIVE_ITEM&)>& match);
    void ReportAudioButtons();

    std::unique_ptr<VideoLibrary> m_library;
    LiveVideoSite& m_site;
    CLiveConnectionList m_connections;
    QString m_snapshotFolder;
    QWidget* m_videoWindow = nullptr;
    ShownCamera m_shown;
    CameraSelection m_selection;
    TalkTarget m_talkTarget;
    bool m_speakerOn = false;
    bool m_microphoneOn = false;
    // Where listening and talking were switched on (0: no connection then): they are switched
    // off there, also when the selection no longer resolves to that connection.
    KRVideoHandle m_listenHandle = 0;
    int m_listenCamera = -1;
    KRVideoHandle m_talkHandle = 0;
    bool m_audioMessages = false;
    bool m_noOutputTold = false; // the operator hears of a machine without sound output once
};

Q_DECLARE_METATYPE(CLiveVideo::MessageIcon)
