#include "ui/eventlist/CEventPopup.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>

namespace {

constexpr int kMargin = 8;
const QColor kBegin(255, 255, 255);
const QColor kMiddle(240, 247, 255);
const QColor kEnd(192, 192, 208);
constexpr double kShadowDarkness = 0.25;

} // namespace

CEventPopup::CEventPopup(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_owner(owner)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_delay.setSingleShot(true);
    m_delay.setInterval(kDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &CEventPopup::ShowNow);
    m_document.setDefaultStyleSheet(EventPopupStyleSheet());
}

void CEventPopup::PointerMoved(const QPoint& globalPos)
{
    hide();
    m_pointer = globalPos;
    m_delay.start();
}

void CEventPopup::PointerLeft()
{
    m_delay.stop();
    if (!geometry().contains(QCursor::pos()))
        hide();
}

void CEventPopup::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hide();
}

void CEventPopup::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Q_EMIT hidden();
}

void CEventPopup::ShowNow()
{
    m_delay.stop();
    const QString markup = m_provider ? m_provider(m_pointer) : QString();
    if (markup.isEmpty()) {
        hide();
        return;
    }
    RenderPopupMarkup(markup, m_document, m_pictures);
    m_document.setTextWidth(-1);
    m_document.adjustSize();
    const QSize content = m_document.size().toSize() + QSize(2 * kMargin, 2 * kMargin);
    resize(content + QSize(kShadowOffset + kShadowDepth, kShadowOffset + kShadowDepth));

    // Beside the pointer, kept on the pointer's screen.
    QPoint topLeft = m_pointer + QPoint(12, 16);
    if (const QScreen* screen = QGuiApplication::screenAt(m_pointer)) {
        const QRect area = screen->availableGeometry();
        if (topLeft.x() + width() > area.right())
            topLeft.setX(qMax(area.left(), m_pointer.x() - width() - 4));
        if (topLeft.y() + height() > area.bottom())
            topLeft.setY(qMax(area.top(), m_pointer.y() - height() - 4));
    }
    move(topLeft);
    show();
    update();
}

void CEventPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect body(0, 0, width() - kShadowOffset - kShadowDepth,
                     height() - kShadowOffset - kShadowDepth);

    // Shadow: layers fading out over the depth, darkest at the body's edge.
    for (int i = kShadowDepth; i > 0; --i) {
        const int alpha =
            int(255 * kShadowDarkness * (kShadowDepth - i + 1) / kShadowDepth / kShadowDepth);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, alpha));
        p.drawRoundedRect(
            body.translated(kShadowOffset, kShadowOffset).adjusted(-i, -i, i, i) & rect(), i, i);
    }

    // Softbump: the three colours top to bottom, with a soft highlight near the top left.
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0.0, kBegin);
    fill.setColorAt(0.5, kMiddle);
    fill.setColorAt(1.0, kEnd);
    p.setBrush(fill);
    p.setPen(kEnd.darker(130));
    p.drawRect(body.adjusted(0, 0, -1, -1));
    QRadialGradient bump(body.topLeft() + QPointF(body.width() * 0.3, body.height() * 0.2),
                         qMax(body.width(), body.height()) * 0.6);
    bump.setColorAt(0.0, QColor(255, 255, 255, 110));
    bump.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(bump);
    p.drawRect(body.adjusted(1, 1, -1, -1));

    p.translate(kMargin, kMargin);
    m_document.drawContents(&p);
}
