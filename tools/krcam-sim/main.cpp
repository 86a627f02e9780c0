// krcam-sim: a test camera for KRNotify's video library. Serves RTSP (H.264 picture with a
// clock, PCMU tone, ONVIF audio back channel) and MJPEG over HTTP on loopback.

#include "BackchannelMeter.h"
#include "MjpegHttpServer.h"
#include "RtspCamera.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <gst/gst.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2];

void onSignal(int)
{
    const char c = 1;
    (void)!::write(signalPipe[1], &c, 1);
}

// SIGINT / SIGTERM end the event loop, so the WAV recording is closed properly.
void quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

int fail(const char* what)
{
    std::fprintf(stderr, "krcam-sim: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Test camera: RTSP rtsp://ADDRESS:RTSP-PORT/camN (H.264 + PCMU tone + ONVIF audio back "
        "channel) and HTTP MJPEG http://ADDRESS:HTTP-PORT/mjpeg[/camN].\n"
        "Prints \"rtsp URL\" and \"http URL\" when ready, and \"backchannel /camN bytes N level "
        "DBFS\" for audio talked into a back channel.");
    parser.addHelpOption();
    parser.addOptions({
        {"rtsp-port", "RTSP port (0: any free port).", "N", "8554"},
        {"http-port", "HTTP MJPEG port (0: any free port).", "M", "8080"},
        {"address", "Address to listen on.", "ADDRESS", "127.0.0.1"},
        {"cameras", "Number of cameras (1-16).", "N", "4"},
        {"size", "Picture size.", "WxH", "320x240"},
        {"record", "Write back-channel audio to this WAV file.", "FILE"},
    });
    parser.process(app);

    bool okRtsp = false, okHttp = false, okCams = false;
    const int rtspPort = parser.value("rtsp-port").toInt(&okRtsp);
    const int httpPort = parser.value("http-port").toInt(&okHttp);
    const int cameras = parser.value("cameras").toInt(&okCams);
    const auto size =
        QRegularExpression(QStringLiteral("^(\\d{2,4})x(\\d{2,4})$")).match(parser.value("size"));
    if (!okRtsp || !okHttp || rtspPort < 0 || rtspPort > 65535 || httpPort < 0 || httpPort > 65535)
        return fail("ports must be 0-65535");
    if (!okCams || cameras < 1 || cameras > 16)
        return fail("--cameras must be 1-16");
    if (!size.hasMatch())
        return fail("--size must be WxH, e.g. 320x240");
    const QSize pictureSize(size.captured(1).toInt(), size.captured(2).toInt());
    const QString address = parser.value("address");
    quitOnSignals(app);

    BackchannelMeter meter(parser.value("record"));
    RtspCamera rtsp(meter, pictureSize, cameras);
    const int boundRtsp = rtsp.start(address, rtspPort);
    if (boundRtsp <= 0)
        return fail("cannot listen for RTSP");
    MjpegHttpServer http(pictureSize, cameras);
    if (!http.listen(QHostAddress(address), quint16(httpPort)))
        return fail("cannot listen for HTTP");

    std::printf("rtsp rtsp://%s:%d/cam1\nhttp http://%s:%d/mjpeg\n", qPrintable(address), boundRtsp,
                qPrintable(address), int(http.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
