#include "LiveVideoWidget.h"

#include <QPainter>
#include <QPainterPath>

LiveVideoWidget::LiveVideoWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

LiveVideoWidget::~LiveVideoWidget()
{
    setStream(nullptr);
}

void LiveVideoWidget::setStream(std::shared_ptr<CameraStream> stream)
{
    if (stream == m_stream)
        return;
    if (m_stream)
        m_stream->detachViewer(this); // after this no streaming thread calls in any more
    m_stream = std::move(stream);
    {
        QMutexLocker lock(&m_mutex);
        m_frame = QImage();
        m_state = StreamState::NoCamera;
    }
    if (m_stream)
        m_stream->attachViewer(this);
    update();
}

StreamState LiveVideoWidget::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

QImage LiveVideoWidget::lastFrame() const
{
    QMutexLocker lock(&m_mutex);
    return m_frame;
}

void LiveVideoWidget::presentFrame(const QImage& frame)
{
    {
        QMutexLocker lock(&m_mutex);
        m_frame = frame;
    }
    scheduleRepaint();
}

void LiveVideoWidget::presentState(StreamState state)
{
    {
        QMutexLocker lock(&m_mutex);
        m_state = state;
        if (state == StreamState::NoCamera)
            m_frame = QImage();
    }
    scheduleRepaint();
}

void LiveVideoWidget::scheduleRepaint()
{
    // Dropped by Qt when the widget is gone before the event is handled.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void LiveVideoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    QImage frame;
    StreamState state;
    {
        QMutexLocker lock(&m_mutex);
        frame = m_frame;
        state = m_state;
    }
    if (state == StreamState::Playing && !frame.isNull()) {
        const QSize size = frame.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2),
                           size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, frame);
        return;
    }
    drawStatePicture(painter, state);
}

// A camera glyph: crossed out for no camera, with a row of dots while connecting, crossed out
// in red when the camera cannot be reached.
void LiveVideoWidget::drawStatePicture(QPainter& painter, StreamState state) const
{
    const int side = std::max(16, std::min(width(), height()) / 3);
    const QRectF body(width() / 2.0 - side / 2.0, height() / 2.0 - side / 3.0, side * 0.7,
                      side * 0.6);
    const QColor ink = state == StreamState::Failed ? QColor(200, 60, 60) : QColor(150, 150, 150);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ink, std::max(2, side / 16)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, side / 12.0, side / 12.0);
    QPainterPath lens;
    lens.moveTo(body.right(), body.center().y());
    lens.lineTo(body.right() + side * 0.3, body.top());
    lens.lineTo(body.right() + side * 0.3, body.bottom());
    lens.closeSubpath();
    painter.drawPath(lens);
    if (state == StreamState::Connecting) {
        painter.setBrush(ink);
        const qreal r = side / 16.0;
        for (int i = 0; i < 3; ++i)
            painter.drawEllipse(
                QPointF(body.left() + body.width() * (i + 1) / 4.0, body.bottom() + side * 0.25), r,
                r);
    } else {
        painter.drawLine(QPointF(body.left() - side * 0.1, body.bottom() + side * 0.15),
                         QPointF(body.right() + side * 0.4, body.top() - side * 0.15));
    }
}
