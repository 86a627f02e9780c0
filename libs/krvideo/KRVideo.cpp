// The library front: handles, connections and their camera streams, live video windows.
// Every call comes from the user-interface thread, so the tables here need no lock; the
// camera callback pointer is read by worker threads and is therefore atomic.

#include "KRVideo.h"

#include "CameraStream.h"
#include "LiveVideoWidget.h"
#include "StreamProfiles.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSet>
#include <atomic>
#include <gst/gst.h>
#include <map>

Q_LOGGING_CATEGORY(lcVideo, "krnotify.video")

namespace {

constexpr int MaxCaptureDelayMs = 10 * 60 * 1000;
constexpr int ShutdownWaitMs = 3000;

struct Connection
{
    StreamProfiles profiles;
    QString address, user, password;
    int port = 0, type = 0, brand = 0;
    int camera = -1;    // the one camera, or −1 for the whole device
    int lastCamera = 0; // the device camera last shown or listened to: talking goes there
    int talkCamera = -1;
    std::map<int, std::shared_ptr<CameraStream>> streams;

    int effectiveCamera(int requested) const
    {
        return camera >= 0 ? camera : std::max(0, requested);
    }
};

class VideoLibrary
{
public:
    static VideoLibrary& instance()
    {
        static VideoLibrary library;
        return library;
    }

    std::atomic<CKRVideoCameraCallback*> callback{nullptr};
    std::map<KRVideoHandle, Connection> connections;
    QSet<LiveVideoWidget*> windows;

    KRVideoHandle add(Connection connection)
    {
        pruneRetired();
        while (nextHandle <= 0 || connections.count(nextHandle))
            nextHandle = nextHandle <= 0 ? 1 : nextHandle + 1;
        connections.emplace(nextHandle, std::move(connection));
        return nextHandle++;
    }

    Connection* find(KRVideoHandle handle)
    {
        const auto it = connections.find(handle);
        return it == connections.end() ? nullptr : &it->second;
    }

    // The stream of a connection's camera, started on first use.
    std::shared_ptr<CameraStream> stream(KRVideoHandle handle, int requestedCamera)
    {
        Connection* c = find(handle);
        if (!c)
            return nullptr;
        const int camera = c->effectiveCamera(requestedCamera);
        auto& slot = c->streams[camera];
        if (!slot) {
            const auto target = c->profiles.resolve(c->address, c->port, c->user, c->password,
                                                    c->type, c->brand, camera);
            if (!target)
                return nullptr;
            slot = std::make_shared<CameraStream>(handle, camera, *target,
                                                  StreamTimings::fromEnvironment(),
                                                  eventsFor(handle, camera), refusals);
        }
        return slot;
    }

    std::shared_ptr<CameraStream> existingStream(KRVideoHandle handle, int requestedCamera)
    {
        Connection* c = find(handle);
        if (!c)
            return nullptr;
        const auto it = c->streams.find(c->effectiveCamera(requestedCamera));
        return it == c->streams.end() ? nullptr : it->second;
    }

    void remove(KRVideoHandle handle)
    {
        Connection* c = find(handle);
        if (!c)
            return;
        for (auto& [camera, stream] : c->streams) {
            for (LiveVideoWidget* window : std::as_const(windows))
                if (window->stream() == stream)
                    window->setStream(nullptr);
            stream->shutdown();
            retired.push_back(std::move(stream));
        }
        connections.erase(handle);
        pruneRetired();
    }

    // Streams of removed connections whose threads have ended are freed here.
    void pruneRetired()
    {
        retired.erase(std::remove_if(retired.begin(), retired.end(),
                                     [](const std::shared_ptr<CameraStream>& s) {
                                         return s.use_count() == 1 && s->isFinished();
                                     }),
                      retired.end());
    }

    void shutdownAll()
    {
        callback = nullptr;
        std::vector<KRVideoHandle> handles;
        for (const auto& entry : connections)
            handles.push_back(entry.first);
        for (KRVideoHandle handle : handles)
            remove(handle);
        const QDeadlineTimer deadline(ShutdownWaitMs);
        for (auto& stream : retired)
            if (!stream->waitFinished(int(std::max<qint64>(0, deadline.remainingTime()))))
                stream->abandon();
        retired.clear();
    }

private:
    StreamEvents eventsFor(KRVideoHandle handle, int camera)
    {
        StreamEvents events;
        events.opened = [this, handle, camera] {
            if (auto* cb = callback.load())
                cb->OnCameraOpen(handle, camera);
        };
        events.closed = [this, handle] {
            if (auto* cb = callback.load())
                cb->OnCameraClose(handle);
        };
        events.retrying = [this, handle, camera](int retryMs) {
            if (auto* cb = callback.load())
                cb->OnCameraRetry(handle, camera, retryMs);
        };
        events.talkBusy = [this, handle, camera] {
            if (auto* cb = callback.load())
                cb->OnAudioBusy(handle, camera);
        };
        events.codecs = [this](const KRVideoCodecInfo& info) {
            if (auto* cb = callback.load())
                cb->OnAudioCodec(&info);
        };
        events.audioOutput = [this, handle, camera](KRVideoAudioOutput status) {
            if (auto* cb = callback.load())
                cb->OnAudioOutput(handle, camera, status);
        };
        return events;
    }

    KRVideoHandle nextHandle = 1;
    std::vector<std::shared_ptr<CameraStream>> retired;
    // What cameras refused, for the session: a new connection to one starts with what worked.
    const std::shared_ptr<RtspRefusalMemory> refusals = std::make_shared<RtspRefusalMemory>();
};

void ensureGStreamer()
{
    GError* error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        qCWarning(lcVideo) << "GStreamer unavailable:" << (error ? error->message : "");
        g_clear_error(&error);
    }
}

LiveVideoWidget* knownWindow(QWidget* window)
{
    auto* live = qobject_cast<LiveVideoWidget*>(window);
    return live && VideoLibrary::instance().windows.contains(live) ? live : nullptr;
}

} // namespace

void KRVideoCreate(CKRVideoCameraCallback* callback, int)
{
    ensureGStreamer();
    VideoLibrary::instance().callback = callback;
}

void KRVideoDestroy()
{
    VideoLibrary::instance().shutdownAll();
}

KRVideoHandle KRVideoConnect(const QString& address, int port, const QString& user,
                             const QString& password, int type, int brand, int camera, int)
{
    ensureGStreamer();
    Connection c;
    c.profiles = StreamProfiles::load();
    if (!c.profiles.resolve(address, port, user, password, type, brand, camera)) {
        qCInfo(lcVideo) << "no stream for" << address << port << "type" << type << "brand" << brand
                        << "camera" << camera;
        return 0;
    }
    c.address = address;
    c.user = user;
    c.password = password;
    c.port = port;
    c.type = type;
    c.brand = brand;
    c.camera = camera;
    c.lastCamera = std::max(0, camera);
    return VideoLibrary::instance().add(std::move(c));
}

void KRVideoDisconnect(KRVideoHandle handle)
{
    VideoLibrary::instance().remove(handle);
}

int KRVideoGetImage(KRVideoHandle handle, int camera, KRVideoCaptureCallback callback,
                    void* context, const std::uint8_t*, KRVideoDateTime, int delayMs)
{
    if (!callback || delayMs < 0)
        return 0;
    auto stream = VideoLibrary::instance().stream(handle, camera);
    if (!stream)
        return 0;
    stream->capture({callback, context, std::min(delayMs, MaxCaptureDelayMs)});
    return 1;
}

void KRAudioCameraToApp(KRVideoHandle handle, int camera, int on)
{
    auto& library = VideoLibrary::instance();
    auto stream = on ? library.stream(handle, camera) : library.existingStream(handle, camera);
    if (!stream)
        return;
    if (on)
        library.find(handle)->lastCamera = stream->camera();
    stream->setListening(on != 0);
}

void KRAudioAppToCamera(KRVideoHandle handle, int on, KRVideoTalkCallback callback, int)
{
    auto& library = VideoLibrary::instance();
    Connection* c = library.find(handle);
    if (!c)
        return;
    if (!on) {
        if (auto stream = library.existingStream(handle, c->talkCamera))
            stream->setTalking(false, nullptr);
        c->talkCamera = -1;
        return;
    }
    auto stream = library.stream(handle, c->lastCamera);
    if (!stream)
        return;
    c->talkCamera = stream->camera();
    stream->setTalking(true, callback);
}

QWidget* LiveVideo_Create(QWidget* parent, int)
{
    ensureGStreamer();
    auto* window = new LiveVideoWidget(parent);
    auto& windows = VideoLibrary::instance().windows;
    windows.insert(window);
    QObject::connect(window, &QObject::destroyed,
                     [window] { VideoLibrary::instance().windows.remove(window); });
    window->show();
    return window;
}

void LiveVideo_Destroy(QWidget* window)
{
    delete knownWindow(window);
}

void LiveVideo_SetCamera(QWidget* window, KRVideoHandle handle, int camera, int, int, int, int)
{
    LiveVideoWidget* live = knownWindow(window);
    if (!live)
        return;
    auto& library = VideoLibrary::instance();
    std::shared_ptr<CameraStream> stream;
    if (handle != -1 && camera >= 0) {
        stream = library.stream(handle, camera);
        if (stream)
            library.find(handle)->lastCamera = stream->camera();
    }
    live->setStream(std::move(stream));
}
