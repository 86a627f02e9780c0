#pragma once
// The HTTP side of the test camera: "GET /mjpeg" (camera 1) or "GET /mjpeg/camN" answers with
// an endless multipart/x-mixed-replace stream of JPEG pictures. One encoding pipeline per
// camera runs while it has viewers; a viewer that cannot keep up misses pictures instead of
// growing a queue.

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QTcpServer>
#include <QTcpSocket>

typedef struct _GstElement GstElement;

class MjpegHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    MjpegHttpServer(QSize pictureSize, int cameras, QObject* parent = nullptr);
    ~MjpegHttpServer() override;

    // Called from a streaming thread with one encoded picture.
    void publishFromStream(int camera, const QByteArray& jpeg);

private:
    struct Camera
    {
        GstElement* pipeline = nullptr;
        QList<QPointer<QTcpSocket>> viewers;
    };

    void onNewConnection();
    void onRequestData(QTcpSocket* socket);
    void addViewer(int camera, QTcpSocket* socket);
    void removeViewer(int camera, QTcpSocket* socket);
    void publish(int camera, const QByteArray& jpeg);
    bool startPipeline(int camera, Camera& cam);
    void stopPipeline(Camera& cam);

    QSize m_size;
    int m_cameras;
    QHash<int, Camera> m_cameraState;
};
