#include "RtspCamera.h"

#include "BackchannelMeter.h"
#include "RtspServerThread.h"
#include "SampleBytes.h"

#include <gst/app/gstappsink.h>
#include <gst/rtsp-server/rtsp-server.h>
// The ONVIF headers of gst-rtsp-server 1.22 lack C linkage guards.
extern "C" {
#include <gst/rtsp-server/rtsp-onvif-media-factory.h>
#include <gst/rtsp-server/rtsp-onvif-media.h>
#include <gst/rtsp-server/rtsp-onvif-server.h>
}
#include <vector>

namespace {

const char* const Patterns[] = {"ball", "smpte", "pinwheel", "circular"};

struct MountContext
{
    BackchannelMeter* meter;
    QString path;
};

GstFlowReturn onBackchannelSample(GstAppSink* sink, gpointer data)
{
    auto* mount = static_cast<MountContext*>(data);
    return pullSampleBytes(sink, [mount](const guint8* bytes, gsize size) {
        mount->meter->addSamples(mount->path, reinterpret_cast<const std::int16_t*>(bytes),
                                 size / sizeof(std::int16_t));
    });
}

void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data)
{
    GstElement* element = gst_rtsp_media_get_element(media);
    if (!element)
        return;
    // Present only when the client asked for the back channel.
    if (GstElement* sink = gst_bin_get_by_name(GST_BIN(element), "bcsink")) {
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = onBackchannelSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, data, nullptr);
        gst_object_unref(sink);
    }
    gst_object_unref(element);
}

} // namespace

struct RtspCamera::Impl
{
    BackchannelMeter& meter;
    QSize size;
    int cameras;
    std::vector<std::unique_ptr<MountContext>> mounts;
    RtspServerThread serving{gst_rtsp_onvif_server_new()}; // goes before the mounts it uses

    Impl(BackchannelMeter& m, QSize s, int n) : meter(m), size(s), cameras(n) {}

    QString launchLine(int camera) const
    {
        return QStringLiteral(
                   "( videotestsrc is-live=true pattern=%1 ! "
                   "video/x-raw,width=%2,height=%3,framerate=15/1 ! "
                   "clockoverlay text=\"cam%4\" shaded-background=true ! videoconvert ! "
                   "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=15 bitrate=500 ! "
                   "rtph264pay name=pay0 pt=96 config-interval=-1 "
                   "audiotestsrc is-live=true wave=sine freq=%5 volume=0.5 ! audioconvert ! "
                   "audioresample ! audio/x-raw,rate=8000,channels=1 ! mulawenc ! "
                   "rtppcmupay name=pay1 pt=0 )")
            .arg(QLatin1String(Patterns[(camera - 1) % 4]))
            .arg(size.width())
            .arg(size.height())
            .arg(camera)
            .arg(400 + 100 * camera);
    }
};

namespace {
const char BackchannelLaunch[] =
    "( capsfilter caps=\"application/x-rtp,media=audio,payload=0,clock-rate=8000,"
    "encoding-name=PCMU\" name=depay_backchannel ! rtppcmudepay ! mulawdec ! audioconvert ! "
    "audioresample ! audio/x-raw,format=S16LE,channels=1,rate=8000 ! "
    "appsink name=bcsink async=false sync=false )";
}

RtspCamera::RtspCamera(BackchannelMeter& meter, QSize pictureSize, int cameras)
    : d(std::make_unique<Impl>(meter, pictureSize, cameras))
{
}

RtspCamera::~RtspCamera() = default;

int RtspCamera::start(const QString& address, int port)
{
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(d->serving.server());
    for (int camera = 1; camera <= d->cameras; ++camera) {
        GstRTSPMediaFactory* factory = gst_rtsp_onvif_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, d->launchLine(camera).toUtf8().constData());
        gst_rtsp_onvif_media_factory_set_backchannel_launch(GST_RTSP_ONVIF_MEDIA_FACTORY(factory),
                                                            BackchannelLaunch);
        gst_rtsp_media_factory_set_media_gtype(factory, GST_TYPE_RTSP_ONVIF_MEDIA);
        gst_rtsp_media_factory_set_shared(factory, FALSE);
        const QString path = QStringLiteral("/cam%1").arg(camera);
        d->mounts.push_back(std::make_unique<MountContext>(MountContext{&d->meter, path}));
        g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure),
                         d->mounts.back().get());
        gst_rtsp_mount_points_add_factory(mounts, path.toUtf8().constData(), factory);
    }
    g_object_unref(mounts);
    return d->serving.start(address, port);
}
