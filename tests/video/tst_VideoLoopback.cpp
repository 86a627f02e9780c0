// The live video over the real video library against the loopback test camera (krcam-sim):
// event pictures captured into the snapshot folder from an RTSP camera (raw frames through the
// colour converter) and from an MJPEG camera (the JPEG picture), the codec report of a camera
// without audio refusing listening, and a call whose start the camera confirms. Against a
// gst-rtsp-server camera without back channel that sends only over UDP: its picture, and the
// microphone refused. With a microphone and a sound output that fail: the operator is told.
#include "VideoFixture.h"

#include "CameraSimProcess.h"
#include "krvideo/LiveVideoWidget.h"
#include "krvideo/UdpRtspCamera.h"
#include "video/KRVideoLibrary.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kLongWait = 30000;

// Sets an environment variable for one test, and back to its former value at the end.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_before(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment() { qputenv(m_name, m_before); }

private:
    const char* m_name;
    QByteArray m_before;
};

} // namespace

class tst_VideoLoopback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void captureIntoSnapshotFolder_data();
    void captureIntoSnapshotFolder();
    void cameraWithoutAudioRefusesListening();
    void callStartsWhenTheCameraTakesTheAudio();
    void cameraWithoutBackchannelRefusesMicrophone();
    void microphoneFailure_data();
    void microphoneFailure();
    void speakerWithoutSoundOutput();

private:
    CameraSimProcess m_sim{CameraSimProcess::builtProgram()};
    UdpRtspCamera m_udpCamera;
    QTemporaryDir m_dir;
    FakeSite m_site;
    CKRHost* m_host = nullptr;
    std::unique_ptr<CLiveVideo> m_live;
};

void tst_VideoLoopback::initTestCase()
{
    qputenv("KRVIDEO_CAPTURE_TIMEOUT_MS", "15000");
    qputenv("KRVIDEO_AUDIO_SOURCE", "audiotestsrc is-live=true wave=sine freq=1000 volume=0.5");
    qputenv("KRVIDEO_AUDIO_SINK", "fakesink");
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_sim.start(), "krcam-sim did not start");

    m_host = &m_site.AddHost(1);
    CDvr& rtsp = AddDvr(*m_host, 10, 2, 2, 0);  // an RTSP IP camera
    CDvr& mjpeg = AddDvr(*m_host, 11, 2, 1, 1); // an MJPEG camera without audio
    CDvr& udpOnly = AddDvr(*m_host, 12, 2, 1, 0);
    rtsp.address = mjpeg.address = udpOnly.address = QStringLiteral("127.0.0.1");
    rtsp.port = m_sim.rtspPort();
    mjpeg.port = m_sim.httpPort();
    udpOnly.port = m_udpCamera.start();
    QVERIFY2(udpOnly.port > 0, "the gst-rtsp-server camera did not start");
    m_live = std::make_unique<CLiveVideo>(std::make_unique<KRVideoLibrary>(), m_site);
    m_live->setSnapshotFolder(m_dir.filePath(QStringLiteral("KRNotifyPic")));
    m_live->setAudioMessagesEnabled(true);
    m_live->ConnectDvr(*m_host, rtsp);
    m_live->ConnectDvr(*m_host, mjpeg);
    m_live->ConnectDvr(*m_host, udpOnly);
    QCOMPARE(m_live->connections().items().size(), 3);
}

void tst_VideoLoopback::cleanupTestCase()
{
    m_live.reset();
}

void tst_VideoLoopback::captureIntoSnapshotFolder_data()
{
    QTest::addColumn<int>("dvrId");
    QTest::addColumn<QString>("name");
    QTest::newRow("RTSP: raw frame") << 10 << "20240101/EV.20240101.0000000001-1.jpg";
    QTest::newRow("MJPEG: JPEG picture") << 11 << "20240101/EV.20240101.0000000001-2.jpg";
}

void tst_VideoLoopback::captureIntoSnapshotFolder()
{
    QFETCH(int, dvrId);
    QFETCH(QString, name);
    QSignalSpy captured(m_live.get(), &CLiveVideo::snapshotCaptured);
    const COleDateTime time(45292.5);
    m_live->CaptureSnapshot(name, 1, dvrId, 0, 0, time, time, {}, 5, 2, 0);
    QTRY_COMPARE_WITH_TIMEOUT(captured.size(), 1, kLongWait);
    const QImage picture(m_dir.filePath(QStringLiteral("KRNotifyPic/") + name));
    QCOMPARE(picture.size(), QSize(320, 240));
}

void tst_VideoLoopback::cameraWithoutAudioRefusesListening()
{
    // The MJPEG stream has played (previous test, or now): its codec report says "no audio".
    m_live->SelectCamera(Selection(1, 5, 2, 0, 11, 0));
    CDvr* mjpeg = m_host->siteConfig.FindDvr(11);
    QTRY_COMPARE_WITH_TIMEOUT(mjpeg->listenCodecUnsupported, int(KRVIDEO_CODEC_NONE), kLongWait);
    QCOMPARE(mjpeg->talkCodecUnsupported, int(KRVIDEO_CODEC_NONE));
    QSignalSpy messages(m_live.get(), &CLiveVideo::messageRequested);
    QVERIFY(!m_live->SetSpeaker(true));
    QCOMPARE(messages.size(), 1);
}

void tst_VideoLoopback::callStartsWhenTheCameraTakesTheAudio()
{
    m_live->SelectCamera(Selection(1, 5, 2, 1, 10, 1));
    m_site.commands.clear();
    QVERIFY(m_live->SetMicrophone(true));
    QTRY_COMPARE_WITH_TIMEOUT(m_site.commands, QStringList{"door 1/5/2 op 1 value 1"}, kLongWait);
    QVERIFY(!m_live->SetMicrophone(false));
    QCOMPARE(m_site.commands.last(), QStringLiteral("door 1/5/2 op 3 value 1"));
    QCOMPARE(m_host->siteConfig.FindDvr(10)->talkCodecUnsupported, 0);
}

// The camera refuses the back channel and TCP: the profile's first choices are dropped, the
// picture plays, and the microphone is refused because the camera cannot receive audio.
void tst_VideoLoopback::cameraWithoutBackchannelRefusesMicrophone()
{
    QWidget parent;
    auto* window = static_cast<LiveVideoWidget*>(m_live->library().LiveVideo_Create(&parent));
    m_live->attachVideoWindow(window);
    m_live->SelectCamera(Selection(1, 5, 2, 0, 12, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!window->lastFrame().isNull(), kLongWait);
    QCOMPARE(window->lastFrame().size(), QSize(160, 120));
    CDvr* camera = m_host->siteConfig.FindDvr(12);
    QTRY_COMPARE_WITH_TIMEOUT(camera->talkCodecUnsupported, int(KRVIDEO_CODEC_NONE), kLongWait);
    QCOMPARE(camera->listenCodecUnsupported, 0);

    QSignalSpy messages(m_live.get(), &CLiveVideo::messageRequested);
    QVERIFY(!m_live->SetMicrophone(true));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), QStringLiteral("TAV_IDS_AUDIO_NO_BACKCHANNEL"));
    m_live->SelectCamera(Selection(-1, -1, -1, -1, -1, -1));
    m_live->detachVideoWindow();
    m_live->library().LiveVideo_Destroy(window);
}

void tst_VideoLoopback::microphoneFailure_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QStringList>("commands");
    const QString start = QStringLiteral("door 1/5/2 op 1 value 0");
    const QString end = QStringLiteral("door 1/5/2 op 3 value 0");
    QTest::newRow("fails once started") << QByteArray("audiotestsrc is-live=true ! "
                                                      "identity error-after=1")
                                        << QStringList{end};
    QTest::newRow("starts but never records")
        << QByteArray("audiotestsrc is-live=true ! valve drop=true") << QStringList{end};
    QTest::newRow("fails during the call")
        << QByteArray("audiotestsrc is-live=true ! identity error-after=20")
        << QStringList{start, end};
}

// The microphone is switched off with its message; the call is begun at the door only once the
// camera took the microphone's audio, and ended when it was begun.
void tst_VideoLoopback::microphoneFailure()
{
    QFETCH(QByteArray, source);
    QFETCH(QStringList, commands);
    const ScopedEnvironment microphone("KRVIDEO_AUDIO_SOURCE", source);
    m_live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    m_site.commands.clear();
    QSignalSpy messages(m_live.get(), &CLiveVideo::messageRequested);
    QVERIFY(m_live->SetMicrophone(true));
    QTRY_VERIFY_WITH_TIMEOUT(!m_live->microphoneOn(), kLongWait);
    QCOMPARE(m_site.commands, commands);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), QStringLiteral("TAV_IDS_AUDIO_MIC_FAILED"));
}

// An output sink that cannot open, then autoaudiosink finding no usable device: the operator is
// told once, the Speaker button's tooltip says why; a working output clears the tooltip.
void tst_VideoLoopback::speakerWithoutSoundOutput()
{
    m_live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QSignalSpy messages(m_live.get(), &CLiveVideo::messageRequested);
    QSignalSpy tips(m_live.get(), &CLiveVideo::speakerToolTipChanged);
    const QString noOutput = QStringLiteral("TAV_IDS_AUDIO_NO_OUTPUT");
    const QByteArray sinks[] = {"alsasink device=krvideo-no-such-device",
                                "autoaudiosink filter-caps=audio/x-krvideo-none"};
    for (const QByteArray& sink : sinks) {
        const ScopedEnvironment output("KRVIDEO_AUDIO_SINK", sink);
        tips.clear();
        QVERIFY(m_live->SetSpeaker(true));
        QTRY_COMPARE_WITH_TIMEOUT(tips.size(), 1, kLongWait);
        QCOMPARE(tips.first().first().toString(), noOutput);
        QVERIFY(m_live->speakerOn());
        QVERIFY(!m_live->SetSpeaker(false));
    }
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), noOutput);

    tips.clear();
    QVERIFY(m_live->SetSpeaker(true)); // the test's own fakesink works
    QTRY_COMPARE_WITH_TIMEOUT(tips.size(), 1, kLongWait);
    QCOMPARE(tips.first().first().toString(), QString());
    QVERIFY(!m_live->SetSpeaker(false));
}

QTEST_MAIN(tst_VideoLoopback)
#include "tst_VideoLoopback.moc"
