// The video library against the loopback test camera (krcam-sim): live pictures, captures,
// listening, talking through the back channel, reconnection, and calls that never wait.

#include "CallbackRecorder.h"
#include "CameraSimProcess.h"
#include "krvideo/CameraStream.h"
#include "krvideo/KRVideo.h"
#include "krvideo/LiveVideoWidget.h"
#include "krvideo/StreamProfiles.h"
#include "krvideo/color/TNColor.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int LongWait = 60000; // a loaded two-core machine may take long to start x264

CallbackRecorder recorder;

struct CaptureResult
{
    QMutex mutex;
    bool done = false;
    KRVideoFrame frame{};
    QByteArray data;
    bool hadFrame = false;

    bool isDone()
    {
        QMutexLocker lock(&mutex);
        return done;
    }
};

void onCapture(KRVideoHandle, std::int32_t, const KRVideoFrame* frame, const std::uint8_t* data,
               void* context)
{
    auto* result = static_cast<CaptureResult*>(context);
    QMutexLocker lock(&result->mutex);
    result->hadFrame = frame && data;
    if (result->hadFrame) {
        result->frame = *frame;
        result->data = QByteArray(reinterpret_cast<const char*>(data), frame->dataSize);
    }
    result->done = true;
}

// Type 2 brand 0: an RTSP IP camera; type 2 brand 1: an MJPEG-over-HTTP camera.
KRVideoHandle connectRtsp(int port)
{
    return KRVideoConnect(QStringLiteral("127.0.0.1"), port, QStringLiteral("admin"),
                          QStringLiteral("p@ss word"), 2, 0, -1, 1);
}
KRVideoHandle connectMjpeg(int port)
{
    return KRVideoConnect(QStringLiteral("127.0.0.1"), port, QString(), QString(), 2, 1, -1, 1);
}

QImage convertRawFrame(const CaptureResult& r)
{
    QImage image(r.frame.width, r.frame.height, QImage::Format_BGR888);
    ITNColor* converter = TNColor_Create(TNCOLOR_VERSION);
    const bool ok = converter->Convert(r.frame.converterFormat,
                                       reinterpret_cast<const std::uint8_t*>(r.data.constData()),
                                       r.frame.dataSize / r.frame.height, image.bits(),
                                       int(image.bytesPerLine()), image.width(), image.height());
    TNColor_Release(converter, TNCOLOR_VERSION);
    return ok ? image : QImage();
}

} // namespace

class TestKRVideo : public QObject
{
    Q_OBJECT

    CameraSimProcess m_sim{CameraSimProcess::builtProgram()};
    QTemporaryDir m_dir;
    QString m_listenFile;

private Q_SLOTS:
    void initTestCase()
    {
        m_listenFile = m_dir.filePath(QStringLiteral("listen.raw"));
        // Short periods so failures and restarts show within a test's time.
        qputenv("KRVIDEO_RECONNECT_MS", "300");
        qputenv("KRVIDEO_RECONNECT_MAX_MS", "1500");
        qputenv("KRVIDEO_CONNECT_TIMEOUT_MS", "15000");
        qputenv("KRVIDEO_STALL_MS", "4000");
        qputenv("KRVIDEO_IDLE_MS", "2000");
        qputenv("KRVIDEO_CAPTURE_TIMEOUT_MS", "6000");
        qputenv("KRVIDEO_AUDIO_SOURCE", "audiotestsrc is-live=true wave=sine freq=1000 volume=0.5");
        qputenv("KRVIDEO_AUDIO_SINK",
                QByteArray("audio/x-raw,format=S16LE,channels=1,rate=8000 ! filesink location=") +
                    m_listenFile.toUtf8());
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_sim.start(), "krcam-sim did not start");
        KRVideoCreate(&recorder, 0);
    }

    void cleanupTestCase()
    {
        KRVideoDestroy();
        m_sim.kill();
    }

    void streamUrls_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("brand");
        QTest::addColumn<int>("camera");
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::addColumn<QString>("user");
        QTest::newRow("recorder, whole device")
            << "10.1.2.3" << 0 << 5 << 0 << -1 << "rtsp://10.1.2.3:554/cam1"
            << "op";
        QTest::newRow("recorder, camera 3")
            << "dvr.local" << 8554 << 0 << 7 << 3 << "rtsp://dvr.local:8554/cam4"
            << "op";
        QTest::newRow("MJPEG camera")
            << "10.1.2.4" << 0 << 2 << 1 << 0 << "http://10.1.2.4:80/mjpeg/cam1"
            << "op";
        QTest::newRow("camera behind a controller")
            << "10.1.2.5" << 10000 << 2 << 139 << 0 << "rtsp://10.1.2.5:10000/cam1"
            << "op";
        QTest::newRow("IPv6") << "::1" << 554 << 2 << 0 << 1 << "rtsp://[::1]:554/cam2"
                              << "op";
        QTest::newRow("address with path") << "10.1.2.3/x" << 554 << 2 << 0 << 0 << ""
                                           << "op";
        QTest::newRow("address with user info") << "a@b" << 554 << 2 << 0 << 0 << ""
                                                << "op";
        QTest::newRow("empty address") << "" << 554 << 2 << 0 << 0 << ""
                                       << "op";
        QTest::newRow("port too large") << "10.1.2.3" << 70000 << 2 << 0 << 0 << ""
                                        << "op";
        QTest::newRow("camera below -1") << "10.1.2.3" << 554 << 2 << 0 << -2 << ""
                                         << "op";
        // A host names any camera number: the channel after it does not wrap.
        QTest::newRow("largest camera number")
            << "10.1.2.3" << 554 << 2 << 0 << std::numeric_limits<int>::max()
            << "rtsp://10.1.2.3:554/cam2147483648"
            << "op";
        QTest::newRow("odd user name kept out of the URL")
            << "10.1.2.3" << 554 << 2 << 0 << 0 << "rtsp://10.1.2.3:554/cam1"
            << "a:b@c/d";
    }

    void streamUrls()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(int, type);
        QFETCH(int, brand);
        QFETCH(int, camera);
        QFETCH(QString, url);
        QFETCH(QString, user);
        const auto target = StreamProfiles::load().resolve(
            address, port, user, QStringLiteral("pw:@/"), type, brand, camera);
        QCOMPARE(target.has_value(), !url.isEmpty());
        if (!target)
            return;
        QCOMPARE(target->url, url);
        QCOMPARE(target->user, user);
        QCOMPARE(target->password, QStringLiteral("pw:@/"));
        QCOMPARE(target->http, url.startsWith(QLatin1String("http")));
    }

    void liveView_data()
    {
        QTest::addColumn<bool>("mjpeg");
        QTest::newRow("RTSP H.264") << false;
        QTest::newRow("HTTP MJPEG") << true;
    }

    void liveView()
    {
        QFETCH(bool, mjpeg);
        const KRVideoHandle handle =
            mjpeg ? connectMjpeg(m_sim.httpPort()) : connectRtsp(m_sim.rtspPort());
        QVERIFY(handle != 0);
        QWidget parent;
        parent.resize(400, 300);
        auto* window = static_cast<LiveVideoWidget*>(LiveVideo_Create(&parent, 1));
        QVERIFY(window);
        QCOMPARE(window->state(), StreamState::NoCamera);
        LiveVideo_SetCamera(window, handle, 0, 1, 0, 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(window->state(), StreamState::Playing, LongWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->lastFrame().isNull(), LongWait);
        QCOMPARE(window->lastFrame().size(), QSize(320, 240));
        if (!mjpeg) {
            // The tone and the back channel of the test camera are both PCMU.
            QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCodecs(handle).has_value(), LongWait);
            const KRVideoCodecInfo codecs = *recorder.lastCodecs(handle);
            QCOMPARE(codecs.listenCodec, int(KRVIDEO_CODEC_PCMU));
            QCOMPARE(codecs.talkCodec, int(KRVIDEO_CODEC_PCMU));
        }
        LiveVideo_SetCamera(window, -1, -1, -1, -1, -1, -1);
        QCOMPARE(window->state(), StreamState::NoCamera);
        LiveVideo_Destroy(window);
        KRVideoDisconnect(handle);
    }

    void capture_data()
    {
        QTest::addColumn<bool>("mjpeg");
        QTest::addColumn<int>("format");
        QTest::newRow("RTSP H.264 gives a raw frame") << false << 0;
        QTest::newRow("MJPEG gives the JPEG picture") << true << 1;
    }

    void capture()
    {
        QFETCH(bool, mjpeg);
        QFETCH(int, format);
        const KRVideoHandle handle =
            mjpeg ? connectMjpeg(m_sim.httpPort()) : connectRtsp(m_sim.rtspPort());
        QVERIFY(handle != 0);
        CaptureResult result;
        const std::uint8_t card[9] = {};
        QCOMPARE(KRVideoGetImage(handle, 0, onCapture, &result, card, {45000.5, 0}, 200), 1);
        QTRY_VERIFY_WITH_TIMEOUT(result.isDone(), LongWait);
        QVERIFY(result.hadFrame);
        QCOMPARE(result.frame.format, format);
        QCOMPARE(result.frame.width, 320);
        QCOMPARE(result.frame.height, 240);
        QCOMPARE(result.frame.dataSize, result.data.size());
        const QString path = m_dir.filePath(QStringLiteral("capture%1.jpg").arg(format));
        if (format == 1) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(result.data);
        } else {
            QCOMPARE(result.frame.dataSize, 320 * 240 * 3 / 2);
            const QImage image = convertRawFrame(result);
            QVERIFY(!image.isNull());
            QVERIFY(image.save(path, "JPEG"));
        }
        QCOMPARE(QImage(path).size(), QSize(320, 240));
        KRVideoDisconnect(handle);
    }

    // The capture callback gives the context back with no frame; nothing waits on the camera.
    void deadCameraNeverBlocks_data()
    {
        QTest::addColumn<bool>("silentServer");
        QTest::newRow("nothing listens") << false;
        QTest::newRow("connects but never answers") << true;
    }

    void deadCameraNeverBlocks()
    {
        QFETCH(bool, silentServer);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const int port = server.serverPort();
        if (!silentServer)
            server.close();
        const int retriesBefore = recorder.read(recorder.retries);
        talkStatus = -1;
        CaptureResult result;
        QWidget parent;
        QElapsedTimer timer;
        timer.start();
        const KRVideoHandle handle = connectRtsp(port);
        QVERIFY(handle != 0);
        auto* window = static_cast<LiveVideoWidget*>(LiveVideo_Create(&parent, 1));
        LiveVideo_SetCamera(window, handle, 0, 1, 0, 0, 0);
        QCOMPARE(KRVideoGetImage(handle, 0, onCapture, &result, nullptr, {}, 0), 1);
        KRAudioCameraToApp(handle, 0, 1);
        KRAudioAppToCamera(handle, 1, onTalk, 0);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(result.isDone(), LongWait);
        QVERIFY(!result.hadFrame);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.read(recorder.retries) > retriesBefore, LongWait);
        QTRY_COMPARE_WITH_TIMEOUT(int(talkStatus), int(KRVIDEO_TALK_CAMERA_UNREACHABLE), LongWait);
        QVERIFY(window->state() != StreamState::Playing);
        timer.restart();
        LiveVideo_Destroy(window);
        KRVideoDisconnect(handle);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    // A stream that ends frees its pipeline, and with it the camera connection, sockets and
    // buffers: cameras that come and go (a host reconnecting, a camera losing power) must not
    // gather them over a day.
    void endedStreamsLeaveNothingOpen_data()
    {
        QTest::addColumn<bool>("mjpeg");
        QTest::newRow("RTSP H.264") << false;
        QTest::newRow("HTTP MJPEG") << true;
    }

    void endedStreamsLeaveNothingOpen()
    {
        QFETCH(bool, mjpeg);
        KRVideoDestroy(); // the streams of earlier tests end first
        KRVideoCreate(&recorder, 0);
        const auto target = StreamProfiles::load().resolve(
            QStringLiteral("127.0.0.1"), mjpeg ? m_sim.httpPort() : m_sim.rtspPort(), QString(),
            QString(), 2, mjpeg ? 1 : 0, 0);
        QVERIFY(target);
        captureOnce(*target); // what the first stream loads stays for the process
        const int before = openFileCount();
        for (int i = 0; i < 3 && !QTest::currentTestFailed(); ++i)
            captureOnce(*target);
        QCOMPARE(openFileCount(), before);
    }

    // A stream of its own captures a picture and ends, waiting for its thread.
    void captureOnce(const StreamTarget& target)
    {
        CameraStream stream(1, 0, target, StreamTimings::fromEnvironment(), {});
        CaptureResult result;
        stream.capture({onCapture, &result, 0});
        QTRY_VERIFY_WITH_TIMEOUT(result.isDone(), LongWait);
        QVERIFY(result.hadFrame);
        stream.shutdown();
        QVERIFY(stream.waitFinished(LongWait));
    }

    static int openFileCount()
    {
        return int(QDir(QStringLiteral("/proc/self/fd"))
                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                       .size());
    }

    // A stream given up while its thread is still busy (a callback that does not return) must
    // not free the worker under that thread; the worker goes once the thread has ended.
    void abandonedStreamEndsWithItsThread()
    {
        struct Gate
        {
            QSemaphore entered, release;
        } gate;
        const auto blockingCapture = [](KRVideoHandle, std::int32_t, const KRVideoFrame*,
                                        const std::uint8_t*, void* context) {
            auto* g = static_cast<Gate*>(context);
            g->entered.release();
            g->release.acquire();
        };
        auto token = std::make_shared<int>(0); // held by the worker's events
        const std::weak_ptr<int> workerAlive = token;
        StreamEvents events;
        events.opened = [token] {};
        token.reset();
        StreamTarget target;
        target.url = QStringLiteral("rtsp://127.0.0.1:1/none");
        auto stream =
            std::make_unique<CameraStream>(1, 0, target, StreamTimings{}, std::move(events));
        stream->capture({blockingCapture, &gate, 0});
        stream->shutdown(); // hands the pending capture back, on the worker thread
        QVERIFY(gate.entered.tryAcquire(1, LongWait));
        QVERIFY(!stream->waitFinished(0));
        stream->abandon();
        stream.reset();
        QVERIFY(!workerAlive.expired());
        gate.release.release();
        QTRY_VERIFY_WITH_TIMEOUT(workerAlive.expired(), LongWait);
        QTest::qWait(0); // the abandoned thread object is freed on this thread
    }

    // Also a second talk on the same stream: the camera hears it too.
    void talkingReachesTheBackChannel()
    {
        const KRVideoHandle handle = connectRtsp(m_sim.rtspPort());
        for (int talk = 0; talk < 2; ++talk) {
            const qint64 before = m_sim.backchannelBytes();
            talkStatus = -1;
            KRAudioAppToCamera(handle, 1, onTalk, 0);
            QTRY_COMPARE_WITH_TIMEOUT(int(talkStatus), int(KRVIDEO_TALK_STARTED), LongWait);
            // The microphone stand-in is a 1 kHz sine at half scale: about -9 dBFS.
            QTRY_VERIFY_WITH_TIMEOUT(m_sim.backchannelBytes() >= before + 8000, LongWait);
            QTRY_VERIFY_WITH_TIMEOUT(m_sim.backchannelLevel() >= -20.0, LongWait);
            KRAudioAppToCamera(handle, 0, nullptr, 0);
        }
        KRVideoDisconnect(handle);
    }

    void listeningPlaysTheTone()
    {
        QFile::remove(m_listenFile);
        const KRVideoHandle handle = connectRtsp(m_sim.rtspPort());
        KRAudioCameraToApp(handle, 0, 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_listenFile).size() >= 16000, LongWait);
        KRAudioCameraToApp(handle, 0, 0);
        KRVideoDisconnect(handle);

        QFile file(m_listenFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pcm = file.readAll();
        const int count = pcm.size() / 2;
        double sum = 0;
        int crossings = 0;
        qint16 previous = 0;
        for (int i = 0; i < count; ++i) {
            const qint16 s = qFromLittleEndian<qint16>(pcm.constData() + i * 2);
            sum += double(s) * s;
            crossings += (previous < 0) != (s < 0);
            previous = s;
        }
        const double rmsDb = 20 * std::log10(std::sqrt(sum / count) / 32768.0);
        const double frequency = crossings / 2.0 / (count / 8000.0);
        QVERIFY2(rmsDb > -20, qPrintable(QString::number(rmsDb)));
        // camera 1's tone is 500 Hz
        QVERIFY2(frequency > 450 && frequency < 550, qPrintable(QString::number(frequency)));
    }

    void reconnectsAfterCameraRestart()
    {
        const KRVideoHandle handle = connectRtsp(m_sim.rtspPort());
        QWidget parent;
        auto* window = static_cast<LiveVideoWidget*>(LiveVideo_Create(&parent, 1));
        LiveVideo_SetCamera(window, handle, 0, 1, 0, 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(window->state(), StreamState::Playing, LongWait);
        const int closedBefore = recorder.read(recorder.closed);
        const int openedBefore = recorder.read(recorder.opened);

        const int rtspPort = m_sim.rtspPort(), httpPort = m_sim.httpPort();
        m_sim.kill();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.read(recorder.closed) > closedBefore, LongWait);
        QVERIFY(window->state() != StreamState::Playing);
        QVERIFY2(m_sim.start(rtspPort, httpPort), "krcam-sim did not restart");
        QTRY_COMPARE_WITH_TIMEOUT(window->state(), StreamState::Playing, LongWait);
        QVERIFY(recorder.read(recorder.opened) > openedBefore);
        LiveVideo_Destroy(window);
        KRVideoDisconnect(handle);
    }
};

QTEST_MAIN(TestKRVideo)
#include "tst_krvideo.moc"
