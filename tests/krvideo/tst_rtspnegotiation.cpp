// What a camera stream asks RTSP servers for: the profile's back-channel and transport choices,
// the attempts made against servers that refuse part of a request, and what is remembered for
// the next attempt at the same camera.

#include "krvideo/RtspNegotiation.h"
#include "krvideo/StreamProfiles.h"

#include <QtTest>

namespace {

// A server as the attempts see it: what it refuses, and whether it plays what it accepts.
struct Server
{
    bool refusesBackchannel = false;
    bool refusesTcp = false;
    bool refusesUdp = false;
    bool plays = true;
};

QString Describe(const RtspRequest& request)
{
    return QLatin1String(request.backchannel ? "onvif " : "") +
           QLatin1String(request.tcp ? "tcp" : "udp");
}

// Runs attempts until one plays or fails; returns them, the last marked "played" or "failed".
QStringList Attempts(RtspNegotiation& negotiation, const Server& server)
{
    QStringList attempts;
    for (int i = 0; i < 10; ++i) {
        const RtspRequest request = negotiation.request();
        attempts << Describe(request);
        std::optional<RtspRefusal> refusal;
        if (request.backchannel && server.refusesBackchannel)
            refusal = RtspRefusal::Backchannel;
        else if (request.tcp ? server.refusesTcp : server.refusesUdp)
            refusal = RtspRefusal::Transport;
        if (refusal && negotiation.refused(*refusal))
            continue;
        if (!refusal && server.plays) {
            negotiation.played();
            attempts << QStringLiteral("played");
        } else {
            negotiation.failed();
            attempts << QStringLiteral("failed");
        }
        return attempts;
    }
    return attempts << QStringLiteral("endless");
}

StreamTarget Target(BackchannelChoice backchannel, TransportChoice transport)
{
    StreamTarget target;
    target.url = QStringLiteral("rtsp://10.0.0.5:554/cam1");
    target.backchannel = backchannel;
    target.transport = transport;
    return target;
}

} // namespace

Q_DECLARE_METATYPE(Server)
Q_DECLARE_METATYPE(BackchannelChoice)
Q_DECLARE_METATYPE(TransportChoice)

class TestRtspNegotiation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void profileChoices_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("type");
        QTest::addColumn<BackchannelChoice>("backchannel");
        QTest::addColumn<TransportChoice>("transport");
        const QString url =
            QStringLiteral("[default]\nurl = rtsp://{address}:{port}/x\nport = 554\n");
        QTest::newRow("keys absent")
            << url << 2 << BackchannelChoice::Auto << TransportChoice::Auto;
        QTest::newRow("forced, any case") << url + "backchannel = ONVIF\ntransport = Udp\n"
                                          << 2 << BackchannelChoice::Always << TransportChoice::Udp;
        QTest::newRow("never, tcp only") << url + "backchannel = none\ntransport = tcp\n"
                                         << 2 << BackchannelChoice::Never << TransportChoice::Tcp;
        QTest::newRow("unknown values leave the choice to the library")
            << url + "backchannel = maybe\ntransport = sctp\n"
            << 2 << BackchannelChoice::Auto << TransportChoice::Auto;
        // The shipped file asks only cameras the operator can talk to (type 2).
        QTest::newRow("shipped: recorder")
            << QString() << 5 << BackchannelChoice::Never << TransportChoice::Auto;
        QTest::newRow("shipped: IP camera")
            << QString() << 2 << BackchannelChoice::Auto << TransportChoice::Auto;
    }

    void profileChoices()
    {
        QFETCH(QString, profile);
        QFETCH(int, type);
        QFETCH(BackchannelChoice, backchannel);
        QFETCH(TransportChoice, transport);
        const StreamProfiles profiles =
            profile.isEmpty() ? StreamProfiles::load() : StreamProfiles::fromText(profile.toUtf8());
        const auto target = profiles.resolve(QStringLiteral("10.0.0.5"), 0, {}, {}, type, 0, 0);
        QVERIFY(target);
        QCOMPARE(target->backchannel, backchannel);
        QCOMPARE(target->transport, transport);
    }

    void attempts_data()
    {
        QTest::addColumn<BackchannelChoice>("backchannel");
        QTest::addColumn<TransportChoice>("transport");
        QTest::addColumn<bool>("canTalk");
        QTest::addColumn<Server>("server");
        QTest::addColumn<QStringList>("attempts");
        QTest::addColumn<QString>("nextStart"); // the next attempt at the same camera

        const auto Auto = BackchannelChoice::Auto;
        const auto any = TransportChoice::Auto;
        const Server onvifCamera;
        const Server vlcLike{true, true, false, true};
        const Server noBackchannel{true, false, false, true};
        QTest::newRow("ONVIF camera: first try plays")
            << Auto << any << true << onvifCamera << QStringList{"onvif tcp", "played"}
            << "onvif tcp";
        QTest::newRow("no back channel, UDP only: both dropped, remembered")
            << Auto << any << true << vlcLike << QStringList{"onvif tcp", "tcp", "udp", "played"}
            << "udp";
        QTest::newRow("this machine cannot talk: never asked")
            << Auto << any << false << vlcLike << QStringList{"tcp", "udp", "played"} << "udp";
        QTest::newRow("forced back channel is not given up")
            << BackchannelChoice::Always << any << false << noBackchannel
            << QStringList{"onvif tcp", "failed"} << "onvif tcp";
        QTest::newRow("forced TCP is not given up")
            << BackchannelChoice::Never << TransportChoice::Tcp << true << vlcLike
            << QStringList{"tcp", "failed"} << "tcp";
        QTest::newRow("forced UDP, back channel dropped")
            << Auto << TransportChoice::Udp << true << noBackchannel
            << QStringList{"onvif udp", "udp", "played"} << "udp";
        QTest::newRow("both transports refused: failed, each tried once")
            << Auto << any << true << Server{false, true, true, true}
            << QStringList{"onvif tcp", "onvif udp", "failed"} << "onvif tcp";
        QTest::newRow("a refusal is remembered only when the attempt without it plays")
            << Auto << any << true << Server{true, false, false, false}
            << QStringList{"onvif tcp", "tcp", "failed"} << "onvif tcp";
    }

    void attempts()
    {
        QFETCH(BackchannelChoice, backchannel);
        QFETCH(TransportChoice, transport);
        QFETCH(bool, canTalk);
        QFETCH(Server, server);
        QFETCH(QStringList, attempts);
        QFETCH(QString, nextStart);
        auto memory = std::make_shared<RtspRefusalMemory>();
        RtspNegotiation negotiation(Target(backchannel, transport), canTalk, memory);
        QCOMPARE(Attempts(negotiation, server), attempts);
        // The same stream after a lost connection, and another connection to the camera.
        QCOMPARE(Describe(negotiation.request()), nextStart);
        RtspNegotiation another(Target(backchannel, transport), canTalk, memory);
        QCOMPARE(Describe(another.request()), nextStart);
    }

    // A camera remembered as UDP-only that now refuses UDP gets TCP again, and the memory follows.
    void rememberedTransportTriedAgain()
    {
        auto memory = std::make_shared<RtspRefusalMemory>();
        const StreamTarget target = Target(BackchannelChoice::Never, TransportChoice::Auto);
        RtspNegotiation negotiation(target, true, memory);
        QCOMPARE(Attempts(negotiation, Server{false, true, false, true}),
                 (QStringList{"tcp", "udp", "played"}));
        QCOMPARE(Attempts(negotiation, Server{false, false, true, true}),
                 (QStringList{"udp", "tcp", "played"}));
        QCOMPARE(Describe(RtspNegotiation(target, true, memory).request()), QStringLiteral("tcp"));
    }

    // Another camera's refusals do not count for this one.
    void memoryIsPerCamera()
    {
        auto memory = std::make_shared<RtspRefusalMemory>();
        RtspNegotiation vlc(Target(BackchannelChoice::Auto, TransportChoice::Auto), true, memory);
        Attempts(vlc, Server{true, true, false, true});
        StreamTarget other = Target(BackchannelChoice::Auto, TransportChoice::Auto);
        other.url = QStringLiteral("rtsp://10.0.0.6:554/cam1");
        QCOMPARE(Describe(RtspNegotiation(other, true, memory).request()),
                 QStringLiteral("onvif tcp"));
    }
};

QTEST_GUILESS_MAIN(TestRtspNegotiation)
#include "tst_rtspnegotiation.moc"
