// The live video over the real video library against the loopback test camera (krcam-sim):
// event pictures captured into the snapshot folder from an RTSP camera (raw frames through the
// colour converter) and from an MJPEG camera (the JPEG picture), the codec report of a camera
// without audio refusing listening, and a call whose start the camera confirms.
#include "VideoFixture.h"

#include "video/KRVideoLibrary.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kLongWait = 30000;

// krcam-sim on free loopback ports; the ports are read from its first lines.
class CameraSim
{
public:
    ~CameraSim()
    {
        if (m_process) {
            m_process->kill();
            m_process->waitForFinished(10000);
        }
    }

    bool start()
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->start(qEnvironmentVariable("KRNOTIFY_BINARY_DIR") +
                             QStringLiteral("/tools/krcam-sim/krcam-sim"),
                         {QStringLiteral("--rtsp-port"), QStringLiteral("0"),
                          QStringLiteral("--http-port"), QStringLiteral("0")});
        static const QRegularExpression urlLine(
            QStringLiteral("^(rtsp|http) \\w+://[^:]+:(\\d+)/"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kLongWait && (rtspPort == 0 || httpPort == 0)) {
            if (!m_process->waitForReadyRead(1000) && m_process->state() != QProcess::Running)
                return false;
            while (m_process->canReadLine()) {
                const auto m = urlLine.match(QString::fromUtf8(m_process->readLine()).trimmed());
                if (m.hasMatch())
                    (m.captured(1) == QLatin1String("rtsp") ? rtspPort : httpPort) =
                        m.captured(2).toInt();
            }
        }
        return rtspPort != 0 && httpPort != 0;
    }

    int rtspPort = 0;
    int httpPort = 0;

private:
    std::unique_ptr<QProcess> m_process;
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

private:
    CameraSim m_sim;
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
    rtsp.address = mjpeg.address = QStringLiteral("127.0.0.1");
    rtsp.port = m_sim.rtspPort;
    mjpeg.port = m_sim.httpPort;
    m_live = std::make_unique<CLiveVideo>(std::make_unique<KRVideoLibrary>(), m_site);
    m_live->setSnapshotFolder(m_dir.filePath(QStringLiteral("KRNotifyPic")));
    m_live->setAudioMessagesEnabled(true);
    m_live->ConnectDvr(*m_host, rtsp);
    m_live->ConnectDvr(*m_host, mjpeg);
    QCOMPARE(m_live->connections().items().size(), 2);
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
    QTRY_COMPARE_WITH_TIMEOUT(mjpeg->listenCodecUnsupported, 1, kLongWait);
    QCOMPARE(mjpeg->talkCodecUnsupported, 1);
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

QTEST_MAIN(tst_VideoLoopback)
#include "tst_VideoLoopback.moc"
