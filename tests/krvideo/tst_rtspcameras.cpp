// The video library against RTSP servers the project did not write, with the shipped profile
// file and no section of their own: VLC's RTSP server (no back channel, RTP over UDP only) and a
// plain gst-rtsp-server that refuses the back channel and offers only UDP. The camera's picture
// plays, the codec report says the camera cannot receive audio, talking is refused for that
// reason, and what the camera refused is not asked of it again.

#include "CallbackRecorder.h"
#include "UdpRtspCamera.h"
#include "VlcRtspServer.h"
#include "krvideo/LiveVideoWidget.h"

#include <QtTest>

namespace {

constexpr int LongWait = 60000;

CallbackRecorder recorder;

// An IP camera (type 2, brand 0): the profile asks it for the back channel over TCP first.
KRVideoHandle connectCamera(int port)
{
    return KRVideoConnect(QStringLiteral("127.0.0.1"), port, QString(), QString(), 2, 0, -1, 1);
}

} // namespace

class TestRtspCameras : public QObject
{
    Q_OBJECT

    UdpRtspCamera m_udpCamera;
    int m_udpPort = 0;

    // Shows the camera until its first picture; the picture's size, or an empty size.
    static QSize firstPicture(KRVideoHandle handle)
    {
        QWidget parent;
        auto* window = static_cast<LiveVideoWidget*>(LiveVideo_Create(&parent, 1));
        LiveVideo_SetCamera(window, handle, 0, 1, 0, 0, 0);
        const QSize size =
            QTest::qWaitFor([window] { return !window->lastFrame().isNull(); }, LongWait)
                ? window->lastFrame().size()
                : QSize();
        LiveVideo_Destroy(window);
        return size;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("KRVIDEO_RECONNECT_MS", "300");
        qputenv("KRVIDEO_AUDIO_SOURCE", "audiotestsrc is-live=true");
        qputenv("KRVIDEO_AUDIO_SINK", "fakesink");
        m_udpPort = m_udpCamera.start();
        QVERIFY2(m_udpPort > 0, "the gst-rtsp-server camera did not start");
        KRVideoCreate(&recorder, 0);
    }

    void cleanupTestCase() { KRVideoDestroy(); }

    void playsWithTheShippedProfile_data()
    {
        QTest::addColumn<bool>("vlc");
        QTest::newRow("VLC") << true;
        QTest::newRow("gst-rtsp-server, UDP only") << false;
    }

    void playsWithTheShippedProfile()
    {
        QFETCH(bool, vlc);
        VlcRtspServer vlcServer;
        int port = m_udpPort;
        if (vlc) {
            if (!vlcServer.start() && vlcServer.cannotRun())
                QSKIP(qPrintable(QStringLiteral("VLC cannot run here: ") + vlcServer.problem()));
            QVERIFY2(vlcServer.problem().isEmpty(), qPrintable(vlcServer.problem()));
            port = vlcServer.port();
        }
        const KRVideoHandle handle = connectCamera(port);
        QVERIFY(handle != 0);
        QCOMPARE(firstPicture(handle), QSize(160, 120));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.lastCodecs(handle).has_value(), LongWait);
        QCOMPARE(recorder.lastCodecs(handle)->talkCodec, int(KRVIDEO_CODEC_NONE));

        talkStatus = -1;
        KRAudioAppToCamera(handle, 1, onTalk, 0);
        QTRY_COMPARE_WITH_TIMEOUT(int(talkStatus), int(KRVIDEO_TALK_NO_BACKCHANNEL), LongWait);
        KRVideoDisconnect(handle);
    }

    // Another connection to a camera that refused starts with what played: the camera is
    // asked neither for the back channel nor for TCP again.
    void refusalsAreRemembered()
    {
        const KRVideoHandle first = connectCamera(m_udpPort);
        QVERIFY(!firstPicture(first).isEmpty());
        KRVideoDisconnect(first);
        const int backchannelRequests = m_udpCamera.backchannelRequests();
        const int tcpSetups = m_udpCamera.tcpSetups();
        QVERIFY(backchannelRequests > 0 && tcpSetups > 0);

        const KRVideoHandle second = connectCamera(m_udpPort);
        QVERIFY(!firstPicture(second).isEmpty());
        KRVideoDisconnect(second);
        QCOMPARE(m_udpCamera.backchannelRequests(), backchannelRequests);
        QCOMPARE(m_udpCamera.tcpSetups(), tcpSetups);
    }
};

QTEST_MAIN(TestRtspCameras)
#include "tst_rtspcameras.moc"
