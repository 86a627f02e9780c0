#include "CameraStream.h"

#include "color/TNColor.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <memory>
#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcStream, "krnotify.video.stream")

namespace {

qint64 nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

int envMs(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

struct AudioCodecRule
{
    const char* encoding; // RTP encoding name, upper case
    KRVideoCodec codec;
    const char* decode; // depayloader and decoder
};

const AudioCodecRule AudioCodecs[] = {
    {"PCMU", KRVIDEO_CODEC_PCMU, "rtppcmudepay ! mulawdec"},
    {"PCMA", KRVIDEO_CODEC_PCMA, "rtppcmadepay ! alawdec"},
    {"G726-32", KRVIDEO_CODEC_G726, "rtpg726depay ! avdec_g726"},
    {"MPEG4-GENERIC", KRVIDEO_CODEC_AAC, "rtpmp4gdepay ! avdec_aac"},
    {"MP4A-LATM", KRVIDEO_CODEC_AAC, "rtpmp4adepay ! avdec_aac"},
    {"L16", KRVIDEO_CODEC_L16, "rtpL16depay"},
    {"OPUS", KRVIDEO_CODEC_OPUS, "rtpopusdepay ! opusdec"},
    {"G722", KRVIDEO_CODEC_G722, "rtpg722depay ! avdec_g722"},
};

// Encoders for the back channel: only what can be produced from a microphone here.
struct TalkCodecRule
{
    const char* encoding;
    KRVideoCodec codec;
    const char* encode; // %1 payload type, %2 the payloader's settings (TalkRtpSource)
};

const TalkCodecRule TalkCodecs[] = {
    {"PCMU", KRVIDEO_CODEC_PCMU, "mulawenc ! rtppcmupay name=pay pt=%1 %2"},
    {"PCMA", KRVIDEO_CODEC_PCMA, "alawenc ! rtppcmapay name=pay pt=%1 %2"},
};

// Every talk of an RTSP session is one RTP source, as a camera expects of its back channel: the
// same SSRC (a camera takes the first source it hears and drops any later one), and sequence
// numbers and timestamps that go on where the last talk stopped (a jump in sequence numbers
// reads as lost packets), timestamps advanced by the time between, as after a silence. Packets
// are 20 ms each, the usual packet time of a telephone codec.
class TalkRtpSource
{
public:
    explicit TalkRtpSource(quint32 ssrc = 0) : m_ssrc(ssrc) {}

    QString payloaderSettings(int clockRate) const
    {
        QString settings =
            QStringLiteral("min-ptime=20000000 max-ptime=20000000 ssrc=%1").arg(m_ssrc);
        if (m_sent) {
            quint32 timestamp = m_lastTimestamp + quint32((nowMs() - m_endedMs) * clockRate / 1000);
            if (timestamp == G_MAXUINT32) // the payloader's "choose at random"
                timestamp = 0;
            settings += QStringLiteral(" seqnum-offset=%1 timestamp-offset=%2")
                            .arg(m_nextSeqnum)
                            .arg(timestamp);
        }
        return settings;
    }

    // A packet went to the camera. Packets the payloader made but the talk's end discarded
    // were never sent: the next talk goes on from the last one sent.
    void sent(GstBuffer* packet)
    {
        guint8 header[8]; // RTP: sequence number at 2, timestamp at 4, big-endian
        if (gst_buffer_extract(packet, 0, header, sizeof header) != sizeof header)
            return;
        m_nextSeqnum = ((header[2] << 8 | header[3]) + 1) & 0xffff;
        m_lastTimestamp = quint32(header[4]) << 24 | quint32(header[5]) << 16 |
                          quint32(header[6]) << 8 | header[7];
        m_endedMs = nowMs();
        m_sent = true;
    }

private:
    quint32 m_ssrc;
    bool m_sent = false;
    quint32 m_nextSeqnum = 0;
    quint32 m_lastTimestamp = 0;
    qint64 m_endedMs = 0;
};

const AudioCodecRule* findAudioRule(const QString& encoding)
{
    for (const auto& rule : AudioCodecs)
        if (encoding.compare(QLatin1String(rule.encoding), Qt::CaseInsensitive) == 0)
            return &rule;
    return nullptr;
}

// True when every element of a "a ! b prop=x" chain is installed. Decided when the stream is
// selected, because the first video frame (and with it the codec report) may come before the
// audio pad.
bool elementsInstalled(const QString& chain)
{
    const QStringList parts = chain.split(QLatin1Char('!'));
    for (const QString& part : parts) {
        const QString name = part.trimmed().section(QLatin1Char(' '), 0, 0);
        GstElementFactory* factory = gst_element_factory_find(name.toUtf8().constData());
        if (!factory)
            return false;
        gst_object_unref(factory);
    }
    return true;
}

const TalkCodecRule* findTalkRule(const QString& encoding)
{
    for (const auto& rule : TalkCodecs)
        if (encoding.compare(QLatin1String(rule.encoding), Qt::CaseInsensitive) == 0)
            return &rule;
    return nullptr;
}

QString microphoneSource()
{
    return qEnvironmentVariable("KRVIDEO_AUDIO_SOURCE", QStringLiteral("autoaudiosrc"));
}

QString audioOutputSink()
{
    return qEnvironmentVariable("KRVIDEO_AUDIO_SINK", QStringLiteral("autoaudiosink"));
}

// Talking needs a microphone source and an encoder for some back channel; without them there is
// no point in asking a camera for its back channel.
bool talkPossible()
{
    if (!elementsInstalled(microphoneSource().section(QLatin1Char('!'), 0, 0)))
        return false;
    for (const auto& rule : TalkCodecs)
        if (elementsInstalled(QLatin1String(rule.encode)))
            return true;
    return false;
}

// rtspsrc does not pass the RTSP status code on; a refusal shows in where the attempt stopped. A
// DESCRIBE refused for its Require header ("551 Option not supported") ends in a settings error,
// SETUP requests refused for their transport ("461 Unsupported transport") in "no supported
// stream".
std::optional<RtspRefusal> refusalOf(const GError* error)
{
    if (!error)
        return std::nullopt;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_SETTINGS)
        return RtspRefusal::Backchannel;
    if (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)
        return RtspRefusal::Transport;
    return std::nullopt;
}

// The text of an error or warning message, for the log.
QString messageText(GstMessage* message)
{
    GError* error = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        gst_message_parse_error(message, &error, nullptr);
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING)
        gst_message_parse_warning(message, &error, nullptr);
    const QString text =
        QStringLiteral("%1: %2").arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))),
                                     QString::fromUtf8(error ? error->message : "end of stream"));
    g_clear_error(&error);
    return text;
}

// autoaudiosink plays into a fake sink when no output device works, without failing.
bool playsIntoFakeSink(GstElement* pipeline)
{
    bool fake = false;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstObject* parent = gst_object_get_parent(GST_OBJECT(element));
        const auto factoryIs = [](GstElement* e, const char* name) {
            GstElementFactory* factory = e ? gst_element_get_factory(e) : nullptr;
            return factory && g_strcmp0(GST_OBJECT_NAME(factory), name) == 0;
        };
        fake = fake || (factoryIs(element, "fakesink") && parent && GST_IS_ELEMENT(parent) &&
                        factoryIs(GST_ELEMENT(parent), "autoaudiosink"));
        if (parent)
            gst_object_unref(parent);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return fake;
}

const char* videoDecodeFor(const QString& encoding)
{
    if (encoding == QLatin1String("H264"))
        return "rtph264depay ! h264parse ! avdec_h264";
    if (encoding == QLatin1String("H265"))
        return "rtph265depay ! h265parse ! avdec_h265";
    if (encoding == QLatin1String("MP4V-ES"))
        return "rtpmp4vdepay ! avdec_mpeg4";
    return nullptr;
}

// Appsink settings: never block the stream, keep only the newest buffer.
const char SinkOptions[] = "sync=false async=false max-buffers=1 drop=true";
const char LeakyQueue[] = "queue leaky=downstream max-size-buffers=2 max-size-time=0 "
                          "max-size-bytes=0";

GstElement* parseBin(const QString& description)
{
    GError* error = nullptr;
    GstElement* bin =
        gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
    if (error) {
        qCWarning(lcStream) << "cannot build" << description << ":" << error->message;
        g_clear_error(&error);
        if (bin)
            gst_object_unref(bin);
        return nullptr;
    }
    return bin;
}

// A whole pipeline from a gst-launch description; null, after a warning that starts with
// `failure`, when it cannot be built.
GstElement* launchPipeline(const QString& description, const char* failure)
{
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || !pipeline) {
        qCWarning(lcStream) << failure << (error ? error->message : "");
        g_clear_error(&error);
        if (pipeline)
            gst_object_unref(pipeline);
        return nullptr;
    }
    return pipeline;
}

QString jpegTail()
{
    return QStringLiteral("jpegparse ! tee name=t t. ! %1 ! appsink name=capture %2 "
                          "t. ! %1 ! jpegdec ! videoconvert ! video/x-raw,format=RGB ! "
                          "appsink name=live %2")
        .arg(QLatin1String(LeakyQueue), QLatin1String(SinkOptions));
}

QString rawTail(const char* decode)
{
    return QStringLiteral("%1 ! tee name=t t. ! %2 ! videoconvert ! video/x-raw,format=RGB ! "
                          "appsink name=live %3 t. ! %2 ! videoconvert ! "
                          "video/x-raw,format=I420 ! appsink name=capture %3")
        .arg(QLatin1String(decode), QLatin1String(LeakyQueue), QLatin1String(SinkOptions));
}

// A sample pulled from an app sink, unreferenced when it goes out of scope.
struct SampleUnref
{
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
using PulledSample = std::unique_ptr<GstSample, SampleUnref>;

struct CapturedFrame
{
    KRVideoFrame info{};
    QByteArray data;
};

// Tight I420 with even sides: the layout the colour converter reads with data size / height
// as its row length.
bool packI420(GstSample* sample, CapturedFrame& out)
{
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420)
        return false;
    const int width = GST_VIDEO_INFO_WIDTH(&info) & ~1;
    const int height = GST_VIDEO_INFO_HEIGHT(&info) & ~1;
    if (width <= 0 || height <= 0)
        return false;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return false;
    out.data.resize(width * height * 3 / 2);
    char* dst = out.data.data();
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane ? width / 2 : width;
        const int h = plane ? height / 2 : height;
        const auto* src = static_cast<const char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
        for (int row = 0; row < h; ++row, dst += w)
            memcpy(dst, src + std::size_t(row) * stride, w);
    }
    gst_video_frame_unmap(&frame);
    out.info.width = width;
    out.info.height = height;
    out.info.stride = width;
    out.info.fourcc = GST_MAKE_FOURCC('I', '4', '2', '0');
    out.info.converterFormat = TNCOLOR_I420;
    out.info.format = 0;
    return true;
}

bool copyJpeg(GstSample* sample, CapturedFrame& out)
{
    const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    int width = 0, height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return false;
    out.data = QByteArray(reinterpret_cast<const char*>(map.data), int(map.size));
    gst_buffer_unmap(buffer, &map);
    out.info.width = width;
    out.info.height = height;
    out.info.format = 1;
    return !out.data.isEmpty();
}

} // namespace

StreamTimings StreamTimings::fromEnvironment()
{
    StreamTimings t;
    t.reconnectMinMs = envMs("KRVIDEO_RECONNECT_MS", t.reconnectMinMs);
    t.reconnectMaxMs =
        std::max(t.reconnectMinMs, envMs("KRVIDEO_RECONNECT_MAX_MS", t.reconnectMaxMs));
    t.connectTimeoutMs = envMs("KRVIDEO_CONNECT_TIMEOUT_MS", t.connectTimeoutMs);
    t.stallMs = envMs("KRVIDEO_STALL_MS", t.stallMs);
    t.idleMs = envMs("KRVIDEO_IDLE_MS", t.idleMs);
    t.captureTimeoutMs = envMs("KRVIDEO_CAPTURE_TIMEOUT_MS", t.captureTimeoutMs);
    t.microphoneStartMs = envMs("KRVIDEO_MICROPHONE_START_MS", t.microphoneStartMs);
    return t;
}

class CameraStream::Worker : public QObject
{
public:
    Worker(KRVideoHandle handle, int camera, StreamTarget target, StreamTimings timings,
           StreamEvents events, std::shared_ptr<RtspRefusalMemory> refusals)
        : m_handle(handle), m_camera(camera), m_target(std::move(target)), m_timings(timings),
          m_events(std::move(events)), m_negotiation(m_target, talkPossible(), std::move(refusals)),
          m_backoffMs(timings.reconnectMinMs)
    {
        for (QTimer* t : {&m_retryTimer, &m_idleTimer, &m_captureTimer, &m_microphoneTimer})
            t->setSingleShot(true);
        m_watchdog.setInterval(500);
        QObject::connect(&m_retryTimer, &QTimer::timeout, this, [this] { evaluateDemand(); });
        QObject::connect(&m_idleTimer, &QTimer::timeout, this, [this] {
            if (!hasDemand())
                teardown(StreamState::NoCamera);
        });
        QObject::connect(&m_captureTimer, &QTimer::timeout, this, [this] { serviceCaptures(); });
        QObject::connect(&m_watchdog, &QTimer::timeout, this, [this] { checkStalled(); });
        QObject::connect(&m_microphoneTimer, &QTimer::timeout, this, [this] {
            microphoneFailed(
                QStringLiteral("no sound within %1 ms").arg(m_timings.microphoneStartMs));
        });
    }

    // --- called on the worker thread (queued from the facade) ---
    void viewersChanged() { evaluateDemand(); }

    void addCapture(const CaptureRequest& request)
    {
        if (m_shutDown) {
            request.callback(m_handle, m_camera, nullptr, nullptr, request.context);
            return;
        }
        const qint64 due = nowMs() + std::max(0, request.delayMs);
        m_captures.push_back({request, due, due + m_timings.captureTimeoutMs});
        evaluateDemand();
        serviceCaptures();
    }

    void setListening(bool on)
    {
        m_listening = on && !m_shutDown;
        if (m_listening)
            startPlayback();
        else
            stopPlayback();
        evaluateDemand();
    }

    void setTalking(bool on, KRVideoTalkCallback callback)
    {
        if (!on || m_shutDown) {
            stopTalking();
            evaluateDemand();
            return;
        }
        if (m_talkWanted)
            return;
        m_talkWanted = true;
        m_talkCallback = callback;
        evaluateDemand();
        if (m_state == StreamState::Playing)
            startMicrophone();
    }

    void shutdown()
    {
        m_shutDown = true;
        m_listening = false;
        stopPlayback();
        finishTalk(KRVIDEO_TALK_CAMERA_UNREACHABLE);
        for (auto& pending : std::exchange(m_captures, {}))
            pending.request.callback(m_handle, m_camera, nullptr, nullptr, pending.request.context);
        for (QTimer* t : {&m_retryTimer, &m_idleTimer, &m_captureTimer, &m_watchdog})
            t->stop();
        teardown(StreamState::NoCamera);
        thread()->quit();
    }

    // --- thread-safe ---
    void attachViewer(FrameViewer* viewer)
    {
        QMutexLocker lock(&m_viewersMutex);
        if (!m_viewers.contains(viewer))
            m_viewers.append(viewer);
        viewer->presentState(m_state);
    }

    void detachViewer(FrameViewer* viewer)
    {
        QMutexLocker lock(&m_viewersMutex);
        m_viewers.removeAll(viewer);
    }

private:
    struct PendingCapture
    {
        CaptureRequest request;
        qint64 due;
        qint64 deadline;
    };

    struct SinkContext
    {
        Worker* worker;
        int generation;
    };

    bool hasDemand()
    {
        QMutexLocker lock(&m_viewersMutex);
        return !m_shutDown &&
               (!m_viewers.isEmpty() || !m_captures.empty() || m_listening || m_talkWanted);
    }

    void evaluateDemand()
    {
        if (!hasDemand()) {
            if (m_pipeline && !m_idleTimer.isActive())
                m_idleTimer.start(m_timings.idleMs);
            return;
        }
        m_idleTimer.stop();
        if (!m_pipeline && !m_retryTimer.isActive())
            startPipeline();
    }

    void setState(StreamState state)
    {
        QMutexLocker lock(&m_viewersMutex); // attachViewer reads the state on another thread
        m_state = state;
        for (FrameViewer* viewer : std::as_const(m_viewers))
            viewer->presentState(state);
    }

    // --- pipeline ---
    void startPipeline()
    {
        ++m_generation;
        m_firstFrame = false;
        m_sequence = 0;
        {
            QMutexLocker lock(&m_mediaMutex);
            m_backchannelId = -1;
            m_backchannelEncoding.clear();
            m_listenEncoding.clear();
            m_listenDecodable = false;
            m_listenRate = m_backchannelRate = m_backchannelPayload = 0;
            // Below the payloader's "choose at random" value.
            m_talkRtp = TalkRtpSource(QRandomGenerator::global()->bounded(G_MAXUINT32));
        }
        m_pipeline = gst_pipeline_new(nullptr);
        if (m_target.http) {
            m_source = gst_element_factory_make("souphttpsrc", nullptr);
            GstElement* demux = gst_element_factory_make("multipartdemux", nullptr);
            if (!m_source || !demux) {
                qCWarning(lcStream) << "souphttpsrc or multipartdemux missing";
                for (GstElement* element : {std::exchange(m_source, nullptr), demux})
                    if (element)
                        gst_object_unref(element); // not in the pipeline yet
                return fail();
            }
            g_object_set(m_source, "location", m_target.url.toUtf8().constData(), "is-live", TRUE,
                         "do-timestamp", TRUE, "timeout", 5u, nullptr);
            if (!m_target.user.isEmpty())
                g_object_set(m_source, "user-id", m_target.user.toUtf8().constData(), "user-pw",
                             m_target.password.toUtf8().constData(), nullptr);
            gst_bin_add_many(GST_BIN(m_pipeline), m_source, demux, nullptr);
            gst_element_link(m_source, demux);
            g_signal_connect_data(demux, "pad-added", G_CALLBACK(onDemuxPad), newContext(),
                                  freeClosureContext, GConnectFlags(0));
        } else {
            m_source = gst_element_factory_make("rtspsrc", nullptr);
            if (!m_source)
                return fail();
            g_object_set(m_source, "location", m_target.url.toUtf8().constData(), "latency", 200u,
                         "tcp-timeout", guint64(5000000), "timeout", guint64(5000000), nullptr);
            const RtspRequest request = m_negotiation.request();
            gst_util_set_object_arg(G_OBJECT(m_source), "protocols", request.tcp ? "tcp" : "udp");
            if (request.backchannel)
                gst_util_set_object_arg(G_OBJECT(m_source), "backchannel", "onvif");
            if (!m_target.user.isEmpty())
                g_object_set(m_source, "user-id", m_target.user.toUtf8().constData(), "user-pw",
                             m_target.password.toUtf8().constData(), nullptr);
            gst_bin_add(GST_BIN(m_pipeline), m_source);
            g_signal_connect_data(m_source, "select-stream", G_CALLBACK(onSelectStream),
                                  newContext(), freeClosureContext, GConnectFlags(0));
            g_signal_connect_data(m_source, "pad-added", G_CALLBACK(onRtspPad), newContext(),
                                  freeClosureContext, GConnectFlags(0));
        }
        watchBus(m_pipeline, onBusMessage, newContext());
        setState(StreamState::Connecting);
        m_startedMs = nowMs();
        m_lastFrameMs = m_startedMs;
        m_watchdog.start();
        if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            fail();
    }

    void teardown(StreamState newState)
    {
        m_watchdog.stop();
        stopMicrophone();
        if (m_pipeline) {
            ++m_generation; // late messages of the old pipeline are ignored
            unwatchBus(m_pipeline);
            gst_element_set_state(m_pipeline, GST_STATE_NULL);
            QMutexLocker lock(&m_mediaMutex);
            gst_object_unref(m_pipeline);
            m_pipeline = nullptr;
            m_source = nullptr;
        }
        setState(newState);
    }

    // An attempt ended in an error. A server that refused part of the request is asked again at
    // once without it; anything else is a failure.
    void onAttemptError(std::optional<RtspRefusal> refusal)
    {
        if (refusal && !m_target.http && !m_firstFrame && m_negotiation.refused(*refusal)) {
            const RtspRequest request = m_negotiation.request();
            qCInfo(lcStream).noquote()
                << m_target.url << "refused the"
                << (*refusal == RtspRefusal::Backchannel ? "back channel" : "transport")
                << "- trying again" << (request.backchannel ? "with" : "without")
                << "the back channel, over" << (request.tcp ? "TCP" : "UDP");
            teardown(StreamState::Connecting);
            startPipeline();
            return;
        }
        fail();
    }

    // The attempt failed or the stream was lost: tell, then retry with back-off while needed.
    void fail()
    {
        const bool wasPlaying = m_state == StreamState::Playing;
        m_negotiation.failed();
        teardown(StreamState::Failed);
        if (wasPlaying && m_events.closed)
            m_events.closed();
        finishTalk(KRVIDEO_TALK_CAMERA_UNREACHABLE);
        if (!hasDemand()) {
            setState(StreamState::NoCamera);
            return;
        }
        const int delay = m_backoffMs;
        m_backoffMs = std::min(m_backoffMs * 2, m_timings.reconnectMaxMs);
        m_retryTimer.start(delay);
        if (m_events.retrying)
            m_events.retrying(delay);
    }

    void checkStalled()
    {
        if (!m_pipeline)
            return;
        const qint64 now = nowMs();
        const bool stalled = m_firstFrame ? now - m_lastFrameMs > m_timings.stallMs
                                          : now - m_startedMs > m_timings.connectTimeoutMs;
        if (stalled) {
            qCInfo(lcStream) << m_target.url << (m_firstFrame ? "stalled" : "did not start");
            fail();
        }
    }

    void onFirstFrame()
    {
        m_backoffMs = m_timings.reconnectMinMs;
        if (!m_target.http)
            m_negotiation.played();
        setState(StreamState::Playing);
        if (m_events.opened)
            m_events.opened();
        reportCodecs();
        if (m_talkWanted)
            startMicrophone();
    }

    void reportCodecs()
    {
        KRVideoCodecInfo info{};
        info.size = sizeof info;
        info.camera = m_camera;
        info.handle = m_handle;
        QMutexLocker lock(&m_mediaMutex);
        if (m_listenEncoding.isEmpty()) {
            info.listenCodec = KRVIDEO_CODEC_NONE;
        } else {
            const AudioCodecRule* rule = findAudioRule(m_listenEncoding);
            info.listenCodec = rule && m_listenDecodable ? rule->codec : KRVIDEO_CODEC_UNSUPPORTED;
            info.listenRate = m_listenRate;
        }
        if (m_backchannelId < 0) {
            info.talkCodec = KRVIDEO_CODEC_NONE;
        } else {
            const TalkCodecRule* rule = findTalkRule(m_backchannelEncoding);
            info.talkCodec = rule ? rule->codec : KRVIDEO_CODEC_UNSUPPORTED;
            info.talkRate = m_backchannelRate;
        }
        lock.unlock();
        if (m_events.codecs)
            m_events.codecs(info);
    }

    // --- captures ---
    void serviceCaptures()
    {
        const qint64 now = nowMs();
        qint64 next = -1;
        bool due = false;
        for (auto it = m_captures.begin(); it != m_captures.end();) {
            if (it->deadline <= now) {
                const CaptureRequest request = it->request;
                it = m_captures.erase(it);
                request.callback(m_handle, m_camera, nullptr, nullptr, request.context);
                continue;
            }
            due = due || it->due <= now;
            const qint64 wake = it->due > now ? it->due : it->deadline;
            next = next < 0 ? wake : std::min(next, wake);
            ++it;
        }
        m_captureWanted = due;
        if (next >= 0)
            m_captureTimer.start(int(std::max<qint64>(1, next - now)));
        evaluateDemand();
    }

    void deliverCapture(CapturedFrame frame)
    {
        const qint64 now = nowMs();
        frame.info.camera = m_camera;
        frame.info.dataSize = frame.data.size();
        for (auto it = m_captures.begin(); it != m_captures.end();) {
            if (it->due > now) {
                ++it;
                continue;
            }
            const CaptureRequest request = it->request;
            it = m_captures.erase(it);
            request.callback(m_handle, m_camera, &frame.info,
                             reinterpret_cast<const std::uint8_t*>(frame.data.constData()),
                             request.context);
        }
        serviceCaptures();
    }

    // --- listening ---
    // The camera's sound goes to the output sink. An output that does not work (it cannot be
    // opened, autoaudiosink found no device and plays into a fake sink, or it is lost later) is
    // released, logged with its reason and reported; listening stays on and opens the output
    // again when it is switched on anew.
    void startPlayback()
    {
        if (m_playback)
            return;
        GstElement* pipeline = launchPipeline(
            QStringLiteral("appsrc name=src is-live=true format=time do-timestamp=true "
                           "max-bytes=64000 leaky-type=downstream ! "
                           "queue max-size-time=500000000 leaky=downstream ! audioconvert ! "
                           "audioresample ! %1")
                .arg(audioOutputSink()),
            "no audio output:");
        if (!pipeline)
            return noAudioOutput(QStringLiteral("the output cannot be built"));
        const int serial = ++m_playbackSerial;
        m_playbackWarning.clear();
        watchBus(pipeline, onPlaybackBus, new SideContext{this, serial});
        {
            QMutexLocker lock(&m_mediaMutex);
            m_playback = pipeline;
            m_playbackSrc = gst_bin_get_by_name(GST_BIN(pipeline), "src");
        }
        const bool started =
            gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
        // Checked after the messages of the start, which carry the reason of a failure.
        postWhile([this, serial] { return serial == m_playbackSerial; },
                  [this, started] { checkPlayback(started); });
    }

    void checkPlayback(bool started)
    {
        if (!started)
            return playbackFailed(QStringLiteral("the output could not be started"));
        if (playsIntoFakeSink(m_playback))
            return playbackFailed(QStringLiteral("no output device works"));
        if (m_events.audioOutput)
            m_events.audioOutput(KRVIDEO_OUTPUT_PLAYING);
    }

    void playbackFailed(const QString& why)
    {
        if (!m_playback)
            return; // released and reported already
        stopPlayback();
        noAudioOutput(why);
    }

    void noAudioOutput(const QString& why)
    {
        qCWarning(lcStream).noquote()
            << m_target.url << "the camera's sound cannot be played:" << why
            << (m_playbackWarning.isEmpty() ? QString() : u'(' + m_playbackWarning + u')');
        if (m_events.audioOutput)
            m_events.audioOutput(KRVIDEO_OUTPUT_UNAVAILABLE);
    }

    void stopPlayback()
    {
        GstElement* pipeline = nullptr;
        {
            QMutexLocker lock(&m_mediaMutex);
            pipeline = std::exchange(m_playback, nullptr);
            if (m_playbackSrc)
                gst_object_unref(std::exchange(m_playbackSrc, nullptr));
        }
        stopSidePipeline(pipeline);
    }

    // --- talking ---
    // The microphone is sent as it is recorded: the sink releases each 20 ms packet at its time,
    // so a camera gets audio in real time whatever size of buffers the source records in. A
    // microphone that fails (an error or end on its bus, or no sound within
    // microphoneStartMs of its start) ends talking with status 2, also once talking started.
    void startMicrophone()
    {
        if (m_microphone || !m_pipeline)
            return;
        QString encode;
        int rate = 8000;
        {
            QMutexLocker lock(&m_mediaMutex);
            const TalkCodecRule* rule = findTalkRule(m_backchannelEncoding);
            if (m_backchannelId < 0 || !rule) {
                lock.unlock();
                return finishTalk(KRVIDEO_TALK_NO_BACKCHANNEL);
            }
            rate = m_backchannelRate > 0 ? m_backchannelRate : 8000;
            encode = QString::fromLatin1(rule->encode)
                         .arg(m_backchannelPayload)
                         .arg(m_talkRtp.payloaderSettings(rate));
        }
        GstElement* pipeline =
            launchPipeline(QStringLiteral("%1 ! audioconvert name=recorded ! audioresample ! "
                                          "audio/x-raw,rate=%2,channels=1 ! %3 ! "
                                          "appsink name=talk sync=true max-buffers=50 drop=true")
                               .arg(microphoneSource())
                               .arg(rate)
                               .arg(encode),
                           "no microphone:");
        if (!pipeline)
            return microphoneFailed(QStringLiteral("the source cannot be built"));
        const int serial = ++m_microphoneSerial;
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "talk");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = onMicrophoneSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, newContext(), freeContext);
        gst_object_unref(sink);
        GstElement* recorded = gst_bin_get_by_name(GST_BIN(pipeline), "recorded");
        GstPad* recordedPad = gst_element_get_static_pad(recorded, "sink");
        gst_pad_add_probe(recordedPad, GST_PAD_PROBE_TYPE_BUFFER, onMicrophoneSound,
                          new SideContext{this, serial}, freeSideContext);
        gst_object_unref(recordedPad);
        gst_object_unref(recorded);
        watchBus(pipeline, onMicrophoneBus, new SideContext{this, serial});
        m_microphone = pipeline;
        m_talkStarted = false;
        m_microphoneTimer.start(m_timings.microphoneStartMs);
        const bool started =
            gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
        if (!started) // after the messages of the start, which carry the reason
            postWhile([this, serial] { return serial == m_microphoneSerial; },
                      [this] { microphoneFailed(QStringLiteral("it could not be started")); });
    }

    void stopMicrophone()
    {
        if (!m_microphone)
            return;
        m_microphoneTimer.stop();
        {
            QMutexLocker lock(&m_mediaMutex);
            m_talkMuting = false;
        }
        stopSidePipeline(std::exchange(m_microphone, nullptr));
    }

    // Talking ends because of the microphone; the caller is told also when talking had started
    // (a call was begun at the door then, and must be ended).
    void microphoneFailed(const QString& why)
    {
        if (!m_talkWanted)
            return;
        qCWarning(lcStream).noquote() << m_target.url << "the microphone failed:" << why;
        const KRVideoTalkCallback callback = m_talkCallback;
        stopTalking();
        if (callback)
            callback(m_handle, m_camera, KRVIDEO_TALK_MICROPHONE_FAILED);
    }

    void stopTalking()
    {
        m_talkWanted = false;
        m_talkCallback = nullptr;
        stopMicrophone();
    }

    // Talking could not start (status != 0) or ended; tells the caller once, when it waits.
    void finishTalk(int status)
    {
        if (!m_talkWanted)
            return;
        const KRVideoTalkCallback callback = m_talkStarted ? nullptr : m_talkCallback;
        stopTalking();
        if (callback)
            callback(m_handle, m_camera, status);
    }

    void onTalkSent()
    {
        if (m_talkStarted || !m_talkWanted)
            return;
        m_talkStarted = true;
        QMutexLocker lock(&m_mediaMutex);
        m_talkMuting = true; // the camera's own audio stays silent while the operator talks
        lock.unlock();
        if (m_talkCallback)
            m_talkCallback(m_handle, m_camera, KRVIDEO_TALK_STARTED);
    }

    void onTalkRefused()
    {
        if (!m_talkWanted)
            return;
        const bool started = m_talkStarted;
        finishTalk(KRVIDEO_TALK_REFUSED);
        if (started && m_events.talkBusy)
            m_events.talkBusy();
    }

    // --- streaming-thread callbacks ---
    SinkContext* newContext() { return new SinkContext{this, m_generation}; }
    static void freeClosureContext(gpointer p, GClosure*) { delete static_cast<SinkContext*>(p); }
    static void freeContext(gpointer p) { delete static_cast<SinkContext*>(p); }

    // The microphone's or the speaker's pipeline, by its start: reports of one that was stopped
    // since are dropped.
    struct SideContext
    {
        Worker* worker;
        int serial;
    };
    static void freeSideContext(gpointer p) { delete static_cast<SideContext*>(p); }

    // Runs fn on the worker thread if `current` still holds by then.
    template <typename Current, typename Fn> void postWhile(Current current, Fn fn)
    {
        QMetaObject::invokeMethod(
            this,
            [current = std::move(current), fn = std::move(fn)]() mutable {
                if (current())
                    fn();
            },
            Qt::QueuedConnection);
    }

    // Runs fn on the worker thread unless the pipeline it came from is gone by then.
    template <typename Fn> void post(int generation, Fn fn)
    {
        postWhile([this, generation] { return generation == m_generation; }, std::move(fn));
    }

    template <typename Context>
    static void watchBus(GstElement* pipeline, GstBusSyncHandler handler, Context* context)
    {
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, handler, context,
                                 [](gpointer p) { delete static_cast<Context*>(p); });
        gst_object_unref(bus);
    }

    static void unwatchBus(GstElement* pipeline)
    {
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }

    static void stopSidePipeline(GstElement* pipeline)
    {
        if (!pipeline)
            return;
        unwatchBus(pipeline);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    static GstBusSyncReply onPlaybackBus(GstBus*, GstMessage* message, gpointer data)
    {
        const auto* ctx = static_cast<SideContext*>(data);
        Worker* self = ctx->worker;
        const int serial = ctx->serial;
        const auto current = [self, serial] { return serial == self->m_playbackSerial; };
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) // autoaudiosink's reason
            self->postWhile(
                current, [self, text = messageText(message)] { self->m_playbackWarning = text; });
        else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            self->postWhile(current,
                            [self, text = messageText(message)] { self->playbackFailed(text); });
        return GST_BUS_DROP;
    }

    static GstBusSyncReply onMicrophoneBus(GstBus*, GstMessage* message, gpointer data)
    {
        const auto* ctx = static_cast<SideContext*>(data);
        Worker* self = ctx->worker;
        const int serial = ctx->serial;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR ||
            GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
            self->postWhile([self, serial] { return serial == self->m_microphoneSerial; },
                            [self, text = messageText(message)] { self->microphoneFailed(text); });
        return GST_BUS_DROP;
    }

    // The first recorded buffer: the microphone works.
    static GstPadProbeReturn onMicrophoneSound(GstPad*, GstPadProbeInfo*, gpointer data)
    {
        const auto* ctx = static_cast<SideContext*>(data);
        Worker* self = ctx->worker;
        const int serial = ctx->serial;
        self->postWhile([self, serial] { return serial == self->m_microphoneSerial; },
                        [self] { self->m_microphoneTimer.stop(); });
        return GST_PAD_PROBE_REMOVE;
    }

    static GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        Worker* self = ctx->worker;
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            qCInfo(lcStream) << self->m_target.url << "error:" << (error ? error->message : "");
            const std::optional<RtspRefusal> refusal = refusalOf(error);
            g_clear_error(&error);
            self->post(ctx->generation, [self, refusal] { self->onAttemptError(refusal); });
            break;
        }
        case GST_MESSAGE_EOS:
            self->post(ctx->generation, [self] { self->fail(); });
            break;
        default:
            break;
        }
        // A sync handler that drops a message owns it: a message kept alive keeps its source,
        // and through the pipeline's own messages the whole pipeline with its sockets.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    static gboolean onSelectStream(GstElement*, guint id, GstCaps* caps, gpointer data)
    {
        auto* self = static_cast<SinkContext*>(data)->worker;
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        const QString media = QString::fromUtf8(gst_structure_get_string(s, "media"));
        const QString encoding =
            QString::fromUtf8(gst_structure_get_string(s, "encoding-name")).toUpper();
        int rate = 0, payload = 0;
        gst_structure_get_int(s, "clock-rate", &rate);
        gst_structure_get_int(s, "payload", &payload);
        QMutexLocker lock(&self->m_mediaMutex);
        if (gst_structure_has_field(s, "a-sendonly")) {
            if (media == QLatin1String("audio") && self->m_backchannelId < 0) {
                self->m_backchannelId = int(id);
                self->m_backchannelEncoding = encoding;
                self->m_backchannelRate = rate;
                self->m_backchannelPayload = payload;
            }
        } else if (media == QLatin1String("audio") && self->m_listenEncoding.isEmpty()) {
            self->m_listenEncoding = encoding;
            self->m_listenRate = rate;
            const AudioCodecRule* rule = findAudioRule(encoding);
            self->m_listenDecodable = rule && elementsInstalled(QLatin1String(rule->decode));
        }
        return TRUE;
    }

    static void linkTail(GstElement* pipeline, GstPad* pad, GstElement* tail, SinkContext* ctx)
    {
        gst_bin_add(GST_BIN(pipeline), tail);
        for (const char* name : {"live", "capture", "audio"}) {
            GstElement* sink = gst_bin_get_by_name(GST_BIN(tail), name);
            if (!sink)
                continue;
            GstAppSinkCallbacks callbacks{};
            callbacks.new_sample = name[0] == 'l'   ? onLiveSample
                                   : name[0] == 'c' ? onCaptureSample
                                                    : onAudioSample;
            gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks,
                                       new SinkContext{ctx->worker, ctx->generation}, freeContext);
            gst_object_unref(sink);
        }
        GstPad* sinkPad = gst_element_get_static_pad(tail, "sink");
        gst_element_sync_state_with_parent(tail);
        if (gst_pad_link(pad, sinkPad) != GST_PAD_LINK_OK)
            qCWarning(lcStream) << "cannot link stream pad";
        gst_object_unref(sinkPad);
    }

    static GstElement* discard()
    {
        return parseBin(QStringLiteral("fakesink sync=false async=false"));
    }

    static void onRtspPad(GstElement* src, GstPad* pad, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (!caps)
            return;
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        const QString media = QString::fromUtf8(gst_structure_get_string(s, "media"));
        const QString encoding =
            QString::fromUtf8(gst_structure_get_string(s, "encoding-name")).toUpper();
        gst_caps_unref(caps);
        GstElement* tail = nullptr;
        if (media == QLatin1String("video")) {
            if (encoding == QLatin1String("JPEG"))
                tail = parseBin(QStringLiteral("rtpjpegdepay ! ") + jpegTail());
            else if (const char* decode = videoDecodeFor(encoding))
                tail = parseBin(rawTail(decode));
        } else if (media == QLatin1String("audio")) {
            const AudioCodecRule* rule = findAudioRule(encoding);
            if (rule)
                tail = parseBin(QStringLiteral("%1 ! audioconvert ! audioresample ! "
                                               "audio/x-raw,format=S16LE,channels=1 ! "
                                               "appsink name=audio sync=false async=false "
                                               "max-buffers=20 drop=true")
                                    .arg(QLatin1String(rule->decode)));
            if (!tail) {
                QMutexLocker lock(&ctx->worker->m_mediaMutex);
                ctx->worker->m_listenDecodable = false;
            }
        }
        if (!tail)
            tail = discard(); // a stream this library cannot show must not stall the others
        GstObject* pipeline = gst_element_get_parent(src);
        if (tail && pipeline)
            linkTail(GST_ELEMENT(pipeline), pad, tail, ctx);
        if (pipeline)
            gst_object_unref(pipeline);
    }

    static void onDemuxPad(GstElement* demux, GstPad* pad, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        GstCaps* caps = gst_pad_query_caps(pad, nullptr);
        const bool jpeg =
            caps && gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
        if (caps)
            gst_caps_unref(caps);
        GstElement* tail = jpeg ? parseBin(jpegTail()) : discard();
        GstObject* pipeline = gst_element_get_parent(demux);
        if (tail && pipeline)
            linkTail(GST_ELEMENT(pipeline), pad, tail, ctx);
        if (pipeline)
            gst_object_unref(pipeline);
    }

    static GstFlowReturn onLiveSample(GstAppSink* sink, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        Worker* self = ctx->worker;
        const PulledSample sample(gst_app_sink_pull_sample(sink));
        if (!sample)
            return GST_FLOW_EOS;
        self->m_lastFrameMs = nowMs();
        self->m_sequence.fetch_add(1);
        if (!self->m_firstFrame.exchange(true))
            self->post(ctx->generation, [self] { self->onFirstFrame(); });
        QMutexLocker lock(&self->m_viewersMutex);
        if (!self->m_viewers.isEmpty()) {
            GstVideoInfo info;
            GstMapInfo map;
            GstBuffer* buffer = gst_sample_get_buffer(sample.get());
            if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())) && buffer &&
                gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                const QImage image =
                    QImage(map.data, GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                           GST_VIDEO_INFO_PLANE_STRIDE(&info, 0), QImage::Format_RGB888)
                        .copy();
                gst_buffer_unmap(buffer, &map);
                for (FrameViewer* viewer : std::as_const(self->m_viewers))
                    viewer->presentFrame(image);
            }
        }
        return GST_FLOW_OK;
    }

    static GstFlowReturn onCaptureSample(GstAppSink* sink, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        Worker* self = ctx->worker;
        const PulledSample sample(gst_app_sink_pull_sample(sink));
        if (!sample)
            return GST_FLOW_EOS;
        if (self->m_captureWanted.exchange(false)) {
            CapturedFrame frame;
            const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
            const bool ok = gst_structure_has_name(s, "image/jpeg") ? copyJpeg(sample.get(), frame)
                                                                    : packI420(sample.get(), frame);
            frame.info.sequence = self->m_sequence.load();
            if (ok)
                self->post(ctx->generation,
                           [self, frame = std::move(frame)] { self->deliverCapture(frame); });
            else
                self->m_captureWanted = true;
        }
        return GST_FLOW_OK;
    }

    static GstFlowReturn onAudioSample(GstAppSink* sink, gpointer data)
    {
        Worker* self = static_cast<SinkContext*>(data)->worker;
        const PulledSample sample(gst_app_sink_pull_sample(sink));
        if (!sample)
            return GST_FLOW_EOS;
        QMutexLocker lock(&self->m_mediaMutex);
        if (self->m_playbackSrc && !self->m_talkMuting)
            gst_app_src_push_sample(GST_APP_SRC(self->m_playbackSrc), sample.get());
        return GST_FLOW_OK;
    }

    static GstFlowReturn onMicrophoneSample(GstAppSink* sink, gpointer data)
    {
        auto* ctx = static_cast<SinkContext*>(data);
        Worker* self = ctx->worker;
        PulledSample sample(gst_app_sink_pull_sample(sink));
        if (!sample)
            return GST_FLOW_EOS;
        QMutexLocker lock(&self->m_mediaMutex);
        if (!self->m_source || self->m_backchannelId < 0)
            return GST_FLOW_OK;
        GstElement* source = GST_ELEMENT(gst_object_ref(self->m_source));
        const guint id = guint(self->m_backchannelId);
        lock.unlock();
        GstFlowReturn result = GST_FLOW_ERROR;
        // The signal takes the sample over; the packet stays alive for the bookkeeping.
        GstBuffer* packet = gst_buffer_ref(gst_sample_get_buffer(sample.get()));
        g_signal_emit_by_name(source, "push-backchannel-sample", id, sample.release(), &result);
        gst_object_unref(source);
        if (result == GST_FLOW_OK) {
            lock.relock();
            self->m_talkRtp.sent(packet);
            lock.unlock();
            self->post(ctx->generation, [self] { self->onTalkSent(); });
        } else if (result != GST_FLOW_FLUSHING) {
            self->post(ctx->generation, [self] { self->onTalkRefused(); });
        }
        gst_buffer_unref(packet);
        return GST_FLOW_OK;
    }

    const KRVideoHandle m_handle;
    const int m_camera;
    const StreamTarget m_target;
    const StreamTimings m_timings;
    const StreamEvents m_events;
    RtspNegotiation m_negotiation;

    GstElement* m_pipeline = nullptr;
    GstElement* m_source = nullptr;              // guarded by m_mediaMutex for streaming threads
    StreamState m_state = StreamState::NoCamera; // written under m_viewersMutex
    std::atomic<int> m_generation{0};
    int m_backoffMs;
    qint64 m_startedMs = 0;
    std::atomic<qint64> m_lastFrameMs{0};
    std::atomic<bool> m_firstFrame{false};
    std::atomic<int> m_sequence{0};
    std::atomic<bool> m_captureWanted{false};
    bool m_shutDown = false;

    QMutex m_viewersMutex;
    QList<FrameViewer*> m_viewers;
    std::vector<PendingCapture> m_captures;

    QMutex m_mediaMutex;
    int m_backchannelId = -1;
    QString m_backchannelEncoding;
    int m_backchannelRate = 0;
    int m_backchannelPayload = 0;
    QString m_listenEncoding;
    int m_listenRate = 0;
    bool m_listenDecodable = false;
    GstElement* m_playback = nullptr;
    GstElement* m_playbackSrc = nullptr;
    bool m_talkMuting = false;
    int m_playbackSerial = 0;
    QString m_playbackWarning; // what the output said while it was opened

    bool m_listening = false;
    bool m_talkWanted = false;
    bool m_talkStarted = false;
    KRVideoTalkCallback m_talkCallback = nullptr;
    GstElement* m_microphone = nullptr;
    int m_microphoneSerial = 0;
    TalkRtpSource m_talkRtp; // of the pipeline's RTSP session; guarded by m_mediaMutex

    QTimer m_retryTimer{this};
    QTimer m_idleTimer{this};
    QTimer m_captureTimer{this};
    QTimer m_watchdog{this};
    QTimer m_microphoneTimer{this};
};

CameraStream::CameraStream(KRVideoHandle handle, int camera, StreamTarget target,
                           StreamTimings timings, StreamEvents events,
                           std::shared_ptr<RtspRefusalMemory> refusals)
    : m_camera(camera), m_thread(std::make_unique<QThread>()),
      m_worker(new Worker(handle, camera, std::move(target), timings, std::move(events),
                          std::move(refusals)))
{
    m_thread->setObjectName(QStringLiteral("krvideo cam%1").arg(camera));
    m_worker->moveToThread(m_thread.get());
    // The worker ends with its thread, on that thread, whoever still holds the stream by then.
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

CameraStream::~CameraStream()
{
    shutdown();
    if (!waitFinished(5000))
        abandon();
}

void CameraStream::attachViewer(FrameViewer* viewer)
{
    m_worker->attachViewer(viewer);
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->viewersChanged(); });
}

void CameraStream::detachViewer(FrameViewer* viewer)
{
    m_worker->detachViewer(viewer);
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->viewersChanged(); });
}

void CameraStream::capture(const CaptureRequest& request)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, request] { w->addCapture(request); });
}

void CameraStream::setListening(bool on)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, on] { w->setListening(on); });
}

void CameraStream::setTalking(bool on, KRVideoTalkCallback callback)
{
    QMetaObject::invokeMethod(m_worker,
                              [w = m_worker, on, callback] { w->setTalking(on, callback); });
}

void CameraStream::shutdown()
{
    if (m_thread && !m_thread->isFinished())
        QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->shutdown(); });
}

bool CameraStream::isFinished() const
{
    return !m_thread || m_thread->isFinished();
}

bool CameraStream::waitFinished(int ms)
{
    return !m_thread || m_thread->wait(QDeadlineTimer(ms));
}

void CameraStream::abandon()
{
    if (!m_thread)
        return;
    qCWarning(lcStream) << "a camera stream did not stop in time; leaving it to end by itself";
    // Worker and thread outlive this object: both are freed once the thread has ended.
    QThread* thread = m_thread.release();
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished()) // it may have ended before the connection was made
        delete thread;
    m_worker = nullptr;
}
