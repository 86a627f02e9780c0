// Talking through a camera's back channel (krcam-sim on loopback): the rate at which the
// microphone's audio reaches the camera for sources that record in small and large buffers,
// live or not (PCMU carries 8000 samples per second: a camera's jitter buffer neither starves
// nor overflows at that rate), and how long a failing microphone takes to be reported.

#include "CameraSimProcess.h"
#include "krvideo/KRVideo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

constexpr int kWaitMs = 60000;
constexpr int kMeasureMs = 4000;

std::atomic<int> g_talkStatus{-1};

void OnTalk(KRVideoHandle, std::int32_t, std::int32_t status)
{
    g_talkStatus = status;
}

struct NoCallbacks final : CKRVideoCameraCallback
{
    void OnCameraOpen(KRVideoHandle, std::int32_t) override {}
    void OnCameraClose(KRVideoHandle) override {}
    void OnCameraRetry(KRVideoHandle, std::int32_t, std::int32_t) override {}
    void OnAudioBusy(KRVideoHandle, std::int32_t) override {}
    void OnAudioCodec(const KRVideoCodecInfo*) override {}
    void OnAudioOutput(KRVideoHandle, std::int32_t, std::int32_t) override {}
};

// Lets the camera's output lines in while waiting.
void Pause(int ms)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    QThread::msleep(ms);
}

template <class Done> bool WaitFor(Done done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        Pause(10);
    return done();
}

// Starts talking with this microphone; the talk status, or -1 when none came.
int StartTalking(KRVideoHandle handle, const char* source)
{
    qputenv("KRVIDEO_AUDIO_SOURCE", source);
    g_talkStatus = -1;
    KRAudioAppToCamera(handle, 1, OnTalk, 0);
    WaitFor([] { return g_talkStatus != -1; }, kWaitMs);
    return g_talkStatus;
}

// Samples per second that reached the camera while talking for about kMeasureMs: between the
// first and the last of the camera's figures in that time (it prints one per 2000 samples).
double SamplesPerSecond(CameraSimProcess& camera)
{
    Pause(500); // the camera's figures flow
    const qint64 before = camera.backchannelBytes();
    QElapsedTimer timer;
    timer.start();
    qint64 firstBytes = -1, lastBytes = before;
    qint64 firstMs = 0, lastMs = 0;
    while (timer.elapsed() < kMeasureMs) {
        Pause(2);
        const qint64 bytes = camera.backchannelBytes();
        if (bytes == lastBytes)
            continue;
        if (firstBytes < 0) {
            firstBytes = bytes;
            firstMs = timer.elapsed();
        }
        lastBytes = bytes;
        lastMs = timer.elapsed();
    }
    return lastMs > firstMs ? (lastBytes - firstBytes) / 2.0 / ((lastMs - firstMs) / 1000.0) : 0.0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    CameraSimProcess camera(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/../krcam-sim/krcam-sim"));
    if (!camera.start()) {
        std::printf("talk: krcam-sim did not start\n");
        return 1;
    }
    NoCallbacks callbacks;
    KRVideoCreate(&callbacks, 0);
    const KRVideoHandle handle = KRVideoConnect(QStringLiteral("127.0.0.1"), camera.rtspPort(),
                                                QString(), QString(), 2, 0, -1, 1);

    struct Source
    {
        const char* what;
        const char* launch;
    };
    const Source paced[] = {
        {"live source, 128 ms buffers", "audiotestsrc is-live=true ! audio/x-raw,rate=8000"},
        {"the same again (a second talk on the stream)",
         "audiotestsrc is-live=true ! audio/x-raw,rate=8000"},
        {"live source, 500 ms buffers",
         "audiotestsrc is-live=true samplesperbuffer=4000 ! audio/x-raw,rate=8000"},
        {"file-like source (not live), 500 ms buffers",
         "audiotestsrc samplesperbuffer=4000 ! audio/x-raw,rate=8000"},
    };
    for (const Source& source : paced) {
        const int status = StartTalking(handle, source.launch);
        if (status == KRVIDEO_TALK_STARTED)
            std::printf("talk: %-46s %7.0f samples/s at the camera (8000 in real time)\n",
                        source.what, SamplesPerSecond(camera));
        else
            std::printf("talk: %-46s did not start (status %d)\n", source.what, status);
        KRAudioAppToCamera(handle, 0, nullptr, 0);
    }

    const Source failing[] = {
        {"microphone that fails once started",
         "audiotestsrc is-live=true ! identity error-after=1"},
        {"microphone that records nothing", "audiotestsrc is-live=true ! valve drop=true"},
    };
    for (const Source& source : failing) {
        QElapsedTimer timer;
        timer.start();
        const int status = StartTalking(handle, source.launch);
        std::printf("talk: %-46s status %d after %lld ms\n", source.what, status,
                    static_cast<long long>(timer.elapsed()));
        KRAudioAppToCamera(handle, 0, nullptr, 0);
    }
    KRVideoDisconnect(handle);
    KRVideoDestroy();
    return 0;
}
