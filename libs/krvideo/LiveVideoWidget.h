#pragma once
// The live video window: shows the pictures of one camera stream, or a picture of the stream's
// state (no camera, connecting, failed). Frames arrive on streaming threads, are handed over
// under a mutex and painted after a queued repaint on the widget's thread.

#include "CameraStream.h"

#include <QImage>
#include <QMutex>
#include <QWidget>
#include <memory>

class LiveVideoWidget : public QWidget, public FrameViewer
{
    Q_OBJECT

public:
    explicit LiveVideoWidget(QWidget* parent);
    ~LiveVideoWidget() override;

    // Null shows no camera.
    void setStream(std::shared_ptr<CameraStream> stream);
    const std::shared_ptr<CameraStream>& stream() const { return m_stream; }

    StreamState state() const;
    QImage lastFrame() const;

    void presentFrame(const QImage& frame) override;
    void presentState(StreamState state) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawStatePicture(QPainter& painter, StreamState state) const;
    void scheduleRepaint();

    std::shared_ptr<CameraStream> m_stream;
    mutable QMutex m_mutex;
    QImage m_frame;
    StreamState m_state = StreamState::NoCamera;
};
