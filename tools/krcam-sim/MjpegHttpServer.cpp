#include "MjpegHttpServer.h"

#include "SampleBytes.h"

#include <QRegularExpression>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace {
constexpr qint64 MaxRequestBytes = 8192;
constexpr qint64 MaxQueuedBytes = 1 << 20;
const char Boundary[] = "krcamframe";

struct SinkContext
{
    MjpegHttpServer* server;
    int camera;
};

GstFlowReturn onJpeg(GstAppSink* sink, gpointer data)
{
    auto* ctx = static_cast<SinkContext*>(data);
    return pullSampleBytes(sink, [ctx](const guint8* bytes, gsize size) {
        ctx->server->publishFromStream(ctx->camera,
                                       QByteArray(reinterpret_cast<const char*>(bytes), int(size)));
    });
}
} // namespace

MjpegHttpServer::MjpegHttpServer(QSize pictureSize, int cameras, QObject* parent)
    : QTcpServer(parent), m_size(pictureSize), m_cameras(cameras)
{
    connect(this, &QTcpServer::newConnection, this, &MjpegHttpServer::onNewConnection);
}

MjpegHttpServer::~MjpegHttpServer()
{
    for (Camera& cam : m_cameraState)
        stopPipeline(cam);
}

void MjpegHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRequestData(socket); });
    }
}

void MjpegHttpServer::onRequestData(QTcpSocket* socket)
{
    if (socket->property("camera").isValid()) {
        socket->readAll(); // a viewer has nothing more to say
        return;
    }
    const QByteArray head = socket->peek(MaxRequestBytes);
    if (!head.contains("\r\n\r\n")) {
        if (head.size() >= MaxRequestBytes)
            socket->abort();
        return;
    }
    socket->read(head.indexOf("\r\n\r\n") + 4);
    static const QRegularExpression request(QStringLiteral("^GET (/mjpeg(?:/cam(\\d+))?) HTTP"));
    const auto match = request.match(QString::fromLatin1(head));
    const int camera = match.hasMatch() ? match.captured(2).toInt() : -1;
    const bool valid =
        match.hasMatch() && (match.captured(2).isEmpty() || (camera >= 1 && camera <= m_cameras));
    if (!valid) {
        socket->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    socket->write(QByteArray("HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; "
                             "boundary=") +
                  Boundary + "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
    addViewer(camera > 0 ? camera : 1, socket);
}

void MjpegHttpServer::addViewer(int camera, QTcpSocket* socket)
{
    socket->setProperty("camera", camera);
    Camera& cam = m_cameraState[camera];
    cam.viewers.append(socket);
    connect(socket, &QTcpSocket::disconnected, this,
            [this, camera, socket] { removeViewer(camera, socket); });
    if (!cam.pipeline && !startPipeline(camera, cam))
        socket->abort();
}

void MjpegHttpServer::removeViewer(int camera, QTcpSocket* socket)
{
    Camera& cam = m_cameraState[camera];
    cam.viewers.removeAll(socket);
    cam.viewers.removeAll(nullptr);
    if (cam.viewers.isEmpty())
        stopPipeline(cam);
}

void MjpegHttpServer::publishFromStream(int camera, const QByteArray& jpeg)
{
    QMetaObject::invokeMethod(
        this, [this, camera, jpeg] { publish(camera, jpeg); }, Qt::QueuedConnection);
}

void MjpegHttpServer::publish(int camera, const QByteArray& jpeg)
{
    const QByteArray part =
        QByteArray("--") + Boundary +
        "\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(jpeg.size()) +
        "\r\n\r\n" + jpeg + "\r\n";
    for (const auto& viewer : m_cameraState.value(camera).viewers) {
        if (viewer && viewer->state() == QAbstractSocket::ConnectedState &&
            viewer->bytesToWrite() < MaxQueuedBytes)
            viewer->write(part);
    }
}

bool MjpegHttpServer::startPipeline(int camera, Camera& cam)
{
    const QString launch =
        QStringLiteral("videotestsrc is-live=true pattern=ball ! "
                       "video/x-raw,width=%1,height=%2,framerate=10/1 ! "
                       "clockoverlay text=\"mjpeg cam%3\" shaded-background=true ! videoconvert ! "
                       "jpegenc quality=80 ! appsink name=jpegsink sync=false max-buffers=4 "
                       "drop=true")
            .arg(m_size.width())
            .arg(m_size.height())
            .arg(camera);
    GError* error = nullptr;
    cam.pipeline = gst_parse_launch(launch.toUtf8().constData(), &error);
    if (!cam.pipeline) {
        qWarning("krcam-sim: MJPEG pipeline: %s", error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(cam.pipeline), "jpegsink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onJpeg;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new SinkContext{this, camera},
                               [](gpointer p) { delete static_cast<SinkContext*>(p); });
    gst_object_unref(sink);
    gst_element_set_state(cam.pipeline, GST_STATE_PLAYING);
    return true;
}

void MjpegHttpServer::stopPipeline(Camera& cam)
{
    if (!cam.pipeline)
        return;
    gst_element_set_state(cam.pipeline, GST_STATE_NULL);
    gst_object_unref(cam.pipeline);
    cam.pipeline = nullptr;
}
