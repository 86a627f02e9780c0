#pragma once
// One camera stream of a connection: its GStreamer pipeline on a worker thread of its own,
// started when something needs pictures or audio, reconnected with back-off when the camera
// goes away, stopped again a while after the last user left. The public calls are thread-safe
// and never wait for the network.

#include "KRVideo.h"
#include "RtspNegotiation.h"
#include "StreamProfiles.h"

#include <QImage>
#include <functional>
#include <memory>

class QThread;

enum class StreamState
{
    NoCamera,
    Connecting,
    Playing,
    Failed
};

// Receives pictures and state changes, on a streaming or worker thread.
class FrameViewer
{
public:
    virtual void presentFrame(const QImage& frame) = 0;
    virtual void presentState(StreamState state) = 0;

protected:
    ~FrameViewer() = default;
};

// Periods in milliseconds; tests shorten them through the environment (KRVIDEO_*_MS).
struct StreamTimings
{
    int reconnectMinMs = 1000; // first retry after a failure; doubles up to the maximum
    int reconnectMaxMs = 30000;
    int connectTimeoutMs = 15000; // no picture this long after starting: the attempt failed
    int stallMs = 8000;           // no picture this long while playing: the stream is lost
    int idleMs = 10000;           // nobody needs the stream this long: it is stopped
    int captureTimeoutMs = 20000; // a capture still without a frame this long after it was due
    int microphoneStartMs = 2000; // no sound from a started microphone this long: it failed
    static StreamTimings fromEnvironment();
};

// Reports to the library front; called on the stream's worker thread.
struct StreamEvents
{
    std::function<void()> opened;
    std::function<void()> closed;
    std::function<void(int retryMs)> retrying;
    std::function<void()> talkBusy;
    std::function<void(const KRVideoCodecInfo&)> codecs;
    std::function<void(KRVideoAudioOutput)> audioOutput; // each time listening starts, and on loss
};

struct CaptureRequest
{
    KRVideoCaptureCallback callback = nullptr;
    void* context = nullptr;
    int delayMs = 0;
};

class CameraStream
{
public:
    // refusals: what RTSP servers refused, shared by the library's streams (may be null).
    CameraStream(KRVideoHandle handle, int camera, StreamTarget target, StreamTimings timings,
                 StreamEvents events, std::shared_ptr<RtspRefusalMemory> refusals = nullptr);
    // Shuts down without waiting; the worker thread ends on its own.
    ~CameraStream();

    void attachViewer(FrameViewer* viewer);
    void detachViewer(FrameViewer* viewer);
    void capture(const CaptureRequest& request);
    void setListening(bool on);
    void setTalking(bool on, KRVideoTalkCallback callback);
    // Ends the stream: pending captures get their context back, talking ends, the pipeline is
    // torn down on the worker thread, the thread finishes.
    void shutdown();
    bool isFinished() const;
    bool waitFinished(int ms);
    // Gives up a thread that did not finish in time (the process is ending): this object may go,
    // the worker and its thread are freed when the thread ends.
    void abandon();

    int camera() const { return m_camera; }

    class Worker;

private:
    int m_camera;
    std::unique_ptr<QThread> m_thread;
    Worker* m_worker; // lives on m_thread; deleted there when the thread finishes
};
