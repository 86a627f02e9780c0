#include "VlcRtspServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <gst/gst.h>
#include <unistd.h>

namespace {

constexpr int StartWaitMs = 30000;

int freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

bool listening(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    return socket.waitForConnected(200);
}

} // namespace

VlcRtspServer::~VlcRtspServer()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
}

bool VlcRtspServer::fail(const QString& problem, bool cannotRun)
{
    m_problem = problem;
    m_cannotRun = cannotRun;
    return false;
}

// Five seconds of a 160x120 test picture, H.264 in MPEG-TS.
bool VlcRtspServer::makeClip(const QString& path)
{
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        QStringLiteral("videotestsrc num-buffers=50 ! "
                       "video/x-raw,width=160,height=120,framerate=10/1 ! "
                       "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 ! "
                       "h264parse ! mpegtsmux ! filesink location=\"%1\"")
            .arg(path)
            .toUtf8()
            .constData(),
        &error);
    if (error || !pipeline) {
        g_clear_error(&error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end)
        gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

bool VlcRtspServer::start()
{
    const QString vlc = QStandardPaths::findExecutable(QStringLiteral("cvlc"));
    if (vlc.isEmpty())
        return fail(QStringLiteral("cvlc is not installed (scripts/setup installs vlc-bin and "
                                   "vlc-plugin-base)"),
                    true);
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"), false);
    // VLC may run as another user: it must be able to read the clip.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                            QFile::ExeGroup);
    const QString clip = m_dir.filePath(QStringLiteral("clip.ts"));
    if (!makeClip(clip))
        return fail(QStringLiteral("the test clip could not be made"), false);
    m_port = freeLoopbackPort();
    if (m_port == 0)
        return fail(QStringLiteral("no free loopback port"), false);

    QStringList arguments{QStringLiteral("--intf"),
                          QStringLiteral("dummy"),
                          QStringLiteral("--no-video-title-show"),
                          QStringLiteral("--loop"),
                          clip,
                          QStringLiteral("--sout"),
                          QStringLiteral("#rtp{sdp=rtsp://127.0.0.1:%1/cam1}").arg(m_port)};
    QString program = vlc;
    if (::geteuid() == 0) { // VLC will not run as root
        program = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        arguments = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                QStringLiteral("--clear-groups"), QStringLiteral("--"), vlc} +
                    arguments;
        if (program.isEmpty())
            return fail(QStringLiteral("running as root without setpriv to run VLC as nobody"),
                        true);
    }
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    m_process->setProcessEnvironment(environment);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(StartWaitMs))
        return fail(QStringLiteral("VLC did not start: %1").arg(m_process->errorString()), true);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < StartWaitMs) {
        if (m_process->state() == QProcess::NotRunning)
            return fail(
                QStringLiteral("VLC ended at once: %1")
                    .arg(QString::fromLocal8Bit(m_process->readAllStandardError().right(500))),
                true);
        if (listening(m_port))
            return true;
        m_process->waitForFinished(200);
    }
    return fail(QStringLiteral("VLC runs but does not serve RTSP on port %1").arg(m_port), false);
}
