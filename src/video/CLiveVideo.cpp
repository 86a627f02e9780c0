#include "video/CLiveVideo.h"

#include "model/CKRHost.h"
#include "video/CameraCapture.h"
#include "video/KRVideoMessages.h"
#include "video/LiveVideoSite.h"
#include "video/VideoLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLiveVideo, "krnotify.video.live")

namespace {
// Video sources of this type carry the door station's audio.
constexpr qint32 kAudioSourceType = 2;
// Codec numbers that mean "this audio cannot be used".
bool IsUnsupportedCodec(int codec)
{
    return codec == KRVIDEO_CODEC_NONE || codec == KRVIDEO_CODEC_UNSUPPORTED;
}
// A capture waits at most this long for its picture; the library caps it the same way.
constexpr int kMaxCaptureDelaySeconds = 600;

const QString kCodecNotSupported = QStringLiteral("TAV_IDS_AUDIO_CODEC_NOT_SUPPORTED");
const QString kAudioBusy = QStringLiteral("TAV_IDS_AUDIO_BUSY");
const QString kNoBackchannel = QStringLiteral("TAV_IDS_AUDIO_NO_BACKCHANNEL");
const QString kMicrophoneFailed = QStringLiteral("TAV_IDS_AUDIO_MIC_FAILED");
const QString kNoAudioOutput = QStringLiteral("TAV_IDS_AUDIO_NO_OUTPUT");

// Why talking is refused, by the codec type that made it impossible.
const QString& TalkRefusalText(int talkCodec)
{
    return talkCodec == KRVIDEO_CODEC_NONE ? kNoBackchannel : kCodecNotSupported;
}
} // namespace

CLiveVideo::CLiveVideo(std::unique_ptr<VideoLibrary> library, LiveVideoSite& site, QObject* parent)
    : QObject(parent), m_library(std::move(library)), m_site(site)
{
    qRegisterMetaType<CLiveVideo::MessageIcon>();
    KRVideoMessages& messages = KRVideoMessages::instance();
    connect(&messages, &KRVideoMessages::cameraClosed, this, &CLiveVideo::OnCameraClose,
            Qt::QueuedConnection);
    connect(&messages, &KRVideoMessages::cameraBusy, this, &CLiveVideo::OnBusy,
            Qt::QueuedConnection);
    connect(&messages, &KRVideoMessages::audioCodecType, this, &CLiveVideo::OnAudioCodecType,
            Qt::QueuedConnection);
    connect(&messages, &KRVideoMessages::captureFinished, this, &CLiveVideo::snapshotCaptured,
            Qt::QueuedConnection);
    connect(&messages, &KRVideoMessages::audioOutput, this, &CLiveVideo::OnAudioOutput,
            Qt::QueuedConnection);
    m_library->KRVideoCreate(&messages);
}

CLiveVideo::~CLiveVideo()
{
    disconnect(&KRVideoMessages::instance(), nullptr, this, nullptr);
    m_library->KRVideoDestroy();
}

void CLiveVideo::setAudioMessagesEnabled(bool enabled)
{
    if (enabled == m_audioMessages)
        return;
    m_audioMessages = enabled;
    KRVideoMessages& messages = KRVideoMessages::instance();
    if (enabled)
        connect(&messages, &KRVideoMessages::audioAppToCamera, this,
                &CLiveVideo::OnAudioAppToCamera, Qt::QueuedConnection);
    else
        disconnect(&messages, &KRVideoMessages::audioAppToCamera, this,
                   &CLiveVideo::OnAudioAppToCamera);
}

void CLiveVideo::attachVideoWindow(QWidget* window)
{
    m_videoWindow = window;
}

void CLiveVideo::detachVideoWindow()
{
    m_videoWindow = nullptr;
    m_shown = ShownCamera{};
}

CDvr* CLiveVideo::FindVideoSource(const CKRHost& host, int dvrId)
{
    if (CDvr* dvr = host.siteConfig.FindDvr(dvrId))
        return dvr;
    // A camera reached through a controller is a source of its own under its recorder.
    for (const auto& [id, dvr] : host.siteConfig.videoSources) {
        for (const auto& [camera, source] : dvr->cameraSources)
            if (source->dvrId == dvrId)
                return source.get();
    }
    return nullptr;
}

bool CLiveVideo::IsDvrPerCamera(int hostId, int dvrId) const
{
    const CKRHost* host = m_site.FindHostById(hostId);
    const CDvr* dvr = host ? FindVideoSource(*host, dvrId) : nullptr;
    return dvr && dvr->IsPerCamera();
}

int CLiveVideo::GetConnectionCamera(int hostId, int dvrId, int camera) const
{
    return IsDvrPerCamera(hostId, dvrId) ? camera : -1;
}

void CLiveVideo::OpenConnection(const CDvr& dvr, int hostId, int camera)
{
    if (m_connections.Find(hostId, dvr.dvrId, camera))
        return;
    const int libraryCamera = GetConnectionCamera(hostId, dvr.dvrId, camera);
    const KRVideoHandle handle = m_library->KRVideoConnect(
        dvr.address, dvr.port, dvr.userName, dvr.password, dvr.type, dvr.brand, libraryCamera);
    if (handle == 0)
        return;
    m_connections.Append({hostId, dvr.dvrId, camera, handle});
}

void CLiveVideo::CloseConnection(int hostId, const CDvr& dvr, int camera)
{
    if (const auto* item = m_connections.Find(hostId, dvr.dvrId, camera)) {
        m_library->KRVideoDisconnect(item->handle);
        m_connections.Remove(hostId, dvr.dvrId, camera);
    }
}

void CLiveVideo::ConnectDvr(const CKRHost& host, const CDvr& dvr)
{
    if (!dvr.IsPerCamera()) {
        OpenConnection(dvr, host.hostId, -1);
        return;
    }
    for (int camera = 0; camera < dvr.CameraCount(); ++camera)
        OpenConnection(dvr, host.hostId, camera);
}

void CLiveVideo::DisconnectDvr(const CKRHost& host, const CDvr& dvr)
{
    // Every connection of the source, whatever its per-camera setting and camera count were
    // when they were opened: an edited profile file or a shorter camera list must not leave
    // connections open that nothing closes any more.
    CloseWhere([&](const CLiveConnectionList::LIVE_ITEM& item) {
        return item.hostId == host.hostId && item.dvrId == dvr.dvrId;
    });
}

void CLiveVideo::DisconnectHost(const CKRHost& host)
{
    if (host.hostId < 0)
        return;
    // Also the connections of camera sources, which are not among the host's own sources.
    CloseWhere(
        [&](const CLiveConnectionList::LIVE_ITEM& item) { return item.hostId == host.hostId; });
}

void CLiveVideo::CloseWhere(const std::function<bool(const CLiveConnectionList::LIVE_ITEM&)>& match)
{
    QList<CLiveConnectionList::LIVE_ITEM> closing;
    for (const auto& item : m_connections.items())
        if (match(item))
            closing.append(item);
    for (const auto& item : closing) {
        m_library->KRVideoDisconnect(item.handle);
        m_connections.Remove(item.hostId, item.dvrId, item.camera);
    }
}

void CLiveVideo::SetCamera(int hostId, int dvrId, int camera, int value1, int value2)
{
    m_shown.hostId = hostId;
    m_shown.dvrId = dvrId;
    m_shown.camera = camera;
    m_shown.value1 = value1;
    m_shown.value2 = value2;
    if (m_shown.showing) {
        int sourceId = dvrId;
        int sourceCamera = camera;
        const CKRHost* host = m_site.FindHostById(hostId);
        if (const CDvr* dvr = host ? FindVideoSource(*host, dvrId) : nullptr) {
            if (const CDvr* source = dvr->FindCameraSource(camera)) {
                sourceId = source->dvrId;
                sourceCamera = 0;
            }
        }
        const int lookupCamera = IsDvrPerCamera(hostId, sourceId) ? sourceCamera : -1;
        if (const auto* item = m_connections.Find(hostId, sourceId, lookupCamera)) {
            m_library->LiveVideo_SetCamera(m_videoWindow, item->handle, sourceCamera, hostId,
                                           value1, value2);
            return;
        }
    }
    m_library->LiveVideo_SetCamera(m_videoWindow, -1, -1, -1, -1, -1);
}

CLiveVideo::AudioTarget CLiveVideo::ResolveSelection() const
{
    AudioTarget target;
    if (m_selection.hostId < 0 || m_selection.dvrId < 0 || m_selection.camera < 0)
        return target;
    const CKRHost* host = m_site.FindHostById(m_selection.hostId);
    if (!host || !host->hasPrivilege(CKRHost::kLiveVideoPrivilege))
        return target;
    const CDvr* dvr = host->siteConfig.FindDvr(m_selection.dvrId);
    if (!dvr)
        return target;
    target.host = host;
    target.dvr = dvr;
    // The camera of a door reached through its controller is seen, heard and spoken to
    // through its own source, as camera 0 there.
    if (const CDvr* source = dvr->FindCameraSource(m_selection.camera)) {
        target.source = source;
        target.camera = 0;
    } else {
        target.source = dvr;
        target.camera = m_selection.camera;
    }
    return target;
}

const CLiveConnectionList::LIVE_ITEM* CLiveVideo::ConnectionOf(const AudioTarget& target) const
{
    if (!target.source)
        return nullptr;
    return m_connections.Find(target.host->hostId, target.source->dvrId,
                              target.source->IsPerCamera() ? target.camera : -1);
}

void CLiveVideo::SelectCamera(const CameraSelection& selection)
{
    m_selection.groupId = selection.groupId;
    m_selection.controllerId = selection.controllerId;
    m_selection.doorId = selection.doorId;
    m_selection.inputId = selection.inputId;
    Q_EMIT actionButtonsChanged();

    // The same camera again (another door showing it, the tree focused again): the view and
    // the audio stay as they are.
    if (selection.hostId == m_selection.hostId && selection.direction == m_selection.direction &&
        selection.dvrId == m_selection.dvrId && selection.camera == m_selection.camera)
        return;

    SetSpeaker(false);
    SetMicrophone(false);
    m_selection.hostId = selection.hostId;
    m_selection.direction = selection.direction;
    m_selection.dvrId = selection.dvrId;
    m_selection.camera = selection.camera;

    const AudioTarget target = ResolveSelection();
    if (target.source) {
        OpenConnection(*target.source, selection.hostId,
                       target.source->IsPerCamera() ? target.camera : -1);
        m_shown.showing = true;
        SetCamera(selection.hostId, target.source->dvrId, target.camera, 0, 0);
        Q_EMIT audioButtonsEnabled(target.source->type == kAudioSourceType);
        return;
    }
    m_shown.showing = false;
    SetCamera(-1, -1, -1, 0, 0);
    Q_EMIT audioButtonsEnabled(false);
}

void CLiveVideo::ReportAudioButtons()
{
    Q_EMIT audioButtonsChecked(m_speakerOn, m_microphoneOn, m_speakerOn && m_microphoneOn);
}

bool CLiveVideo::SetSpeaker(bool on)
{
    bool switchedOn = false;
    const AudioTarget target = ResolveSelection();
    if (!on) {
        // Off always ends listening, also when the selection no longer names a usable camera
        // (source removed, privilege withdrawn), so neither the flag nor the sound sticks.
        if (m_speakerOn) {
            m_speakerOn = false;
            if (m_listenHandle != 0)
                m_library->KRAudioCameraToApp(m_listenHandle, m_listenCamera, false);
            m_listenHandle = 0;
            m_listenCamera = -1;
        }
    } else if (target.source && !m_speakerOn) {
        m_site.SendUserActionLog(target.host->hostId,
                                 QStringLiteral("%1 - %2").arg(
                                     target.dvr->name, target.dvr->CameraName(m_selection.camera)),
                                 target.host->userName);
        if (target.source->listenCodecUnsupported) {
            Q_EMIT messageRequested(kCodecNotSupported, MessageIcon::Warning);
        } else {
            m_speakerOn = true;
            if (const auto* item = ConnectionOf(target)) {
                m_listenHandle = item->handle;
                m_listenCamera = target.camera;
                m_library->KRAudioCameraToApp(m_listenHandle, m_listenCamera, true);
            }
            switchedOn = true;
        }
    }
    ReportAudioButtons();
    return switchedOn;
}

bool CLiveVideo::SetMicrophone(bool on)
{
    bool switchedOn = false;
    const AudioTarget target = ResolveSelection();
    if (!on) {
        // Off always ends the call, at the door it was opened for.
        if (m_microphoneOn) {
            if (m_talkHandle != 0)
                m_library->KRAudioAppToCamera(m_talkHandle, false, nullptr);
            m_site.SendDoorOperation(m_talkTarget.hostId, m_talkTarget.controllerId,
                                     m_talkTarget.doorId, LiveVideoSite::kTalkEnd,
                                     m_talkTarget.direction);
            m_microphoneOn = false;
            m_talkHandle = 0;
            m_talkTarget = TalkTarget{};
        }
    } else if (target.source && !m_microphoneOn) {
        if (target.source->talkCodecUnsupported) {
            Q_EMIT messageRequested(TalkRefusalText(target.source->talkCodecUnsupported),
                                    MessageIcon::Warning);
        } else {
            m_talkTarget = {m_selection.hostId, m_selection.controllerId, m_selection.doorId,
                            m_selection.direction};
            m_microphoneOn = true;
            if (const auto* item = ConnectionOf(target)) {
                m_talkHandle = item->handle;
                m_library->KRAudioAppToCamera(m_talkHandle, true, &KRVideoMessages::TalkCallback);
            }
            switchedOn = true;
        }
    }
    ReportAudioButtons();
    return switchedOn;
}

void CLiveVideo::OnAudioAppToCamera(int status)
{
    switch (status) {
    case KRVIDEO_TALK_STARTED:
        // A start reported after the microphone was closed again belongs to no call.
        if (m_talkTarget.hostId >= 0)
            m_site.SendDoorOperation(m_talkTarget.hostId, m_talkTarget.controllerId,
                                     m_talkTarget.doorId, LiveVideoSite::kTalkStart,
                                     m_talkTarget.direction);
        return;
    // Faults of this machine or of the camera are named as such, not as a busy door station.
    case KRVIDEO_TALK_NO_BACKCHANNEL:
        SetMicrophone(false);
        Q_EMIT messageRequested(kNoBackchannel, MessageIcon::Warning);
        return;
    case KRVIDEO_TALK_MICROPHONE_FAILED:
        SetMicrophone(false);
        Q_EMIT messageRequested(kMicrophoneFailed, MessageIcon::Warning);
        return;
    default:
        SetMicrophone(false);
        Q_EMIT messageRequested(kAudioBusy, MessageIcon::Information);
    }
}

void CLiveVideo::OnAudioOutput(int handle, int status)
{
    if (!m_speakerOn || handle != m_listenHandle)
        return;
    const bool works = status == KRVIDEO_OUTPUT_PLAYING;
    Q_EMIT speakerToolTipChanged(works ? QString() : kNoAudioOutput);
    if (works || m_noOutputTold)
        return;
    m_noOutputTold = true;
    Q_EMIT messageRequested(kNoAudioOutput, MessageIcon::Warning);
}

void CLiveVideo::OnBusy()
{
    if (m_audioMessages)
        OnAudioAppToCamera(-1);
}

void CLiveVideo::OnCameraClose(int handle)
{
    const auto* item = m_connections.FindByHandle(handle);
    if (!item || item->hostId != m_selection.hostId)
        return;
    const AudioTarget target = ResolveSelection();
    const bool shown =
        item->dvrId == m_selection.dvrId || (target.source && item->dvrId == target.source->dvrId);
    if (!shown)
        return;
    if (m_speakerOn)
        SetSpeaker(false);
    if (m_microphoneOn)
        SetMicrophone(false);
}

void CLiveVideo::OnAudioCodecType(int handle, int listenCodec, int talkCodec)
{
    const bool listenUnsupported = IsUnsupportedCodec(listenCodec);
    const bool talkUnsupported = IsUnsupportedCodec(talkCodec);
    if (!listenUnsupported && !talkUnsupported)
        return;
    const auto* item = m_connections.FindByHandle(handle);
    if (!item || item->hostId < 0 || item->dvrId < 0)
        return;
    const CKRHost* host = m_site.FindHostById(item->hostId);
    if (!host || !host->hasPrivilege(CKRHost::kLiveVideoPrivilege))
        return;
    // The codec type is kept as the flag: it says why the audio cannot be used.
    if (CDvr* dvr = FindVideoSource(*host, item->dvrId)) {
        dvr->listenCodecUnsupported = listenUnsupported ? listenCodec : 0;
        dvr->talkCodecUnsupported = talkUnsupported ? talkCodec : 0;
    }
}

void CLiveVideo::CaptureSnapshot(const QString& relativeName, int hostId, int dvrId,
                                 int cameraNumber, int delaySeconds, const COleDateTime& localTime,
                                 const COleDateTime& /*utcTime*/,
                                 const CEventLogData::CardBlock& cardBlock, int /*controllerId*/,
                                 int /*doorId*/, int /*directionIndex*/)
{
    const QString fullPath = CameraCapture::FullPath(m_snapshotFolder, relativeName);
    if (fullPath.isEmpty()) {
        qCWarning(lcLiveVideo) << "snapshot name refused:" << relativeName;
        return;
    }
    // The day's folder exists from its first capture on, also when no picture comes.
    if (!QDir().mkpath(QFileInfo(fullPath).absolutePath()))
        qCWarning(lcLiveVideo) << "cannot create the folder of" << fullPath;

    int libraryCamera = -1;
    if (const CKRHost* host = m_site.FindHostById(hostId)) {
        const CDvr* dvr = host->siteConfig.FindDvr(dvrId);
        if (dvr && dvr->IsPerCamera())
            libraryCamera = cameraNumber;
    }
    const auto* item = m_connections.Find(hostId, dvrId, libraryCamera);
    if (!item)
        return;
    CEventLogData::CardBlock card = cardBlock;
    auto request = std::make_unique<CameraCapture::Request>(CameraCapture::Request{fullPath});
    const int delayMs = std::clamp(delaySeconds, 0, kMaxCaptureDelaySeconds) * 1000;
    const KRVideoDateTime time{localTime.days(), std::int32_t(localTime.status())};
    if (m_library->KRVideoGetImage(item->handle, cameraNumber, &CameraCapture::Callback,
                                   request.get(), card.data(), time, delayMs) != 0)
        request.release(); // the callback owns it now
}
