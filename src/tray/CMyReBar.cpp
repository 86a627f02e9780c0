#include "tray/CMyReBar.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int kBorder = 2;
}

CMyReBar::CMyReBar(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    m_layout->setSpacing(0);
}

void CMyReBar::AddBar(QWidget* bar)
{
    if (m_bar)
        m_layout->removeWidget(m_bar);
    m_bar = bar;
    m_layout->addWidget(bar, 0, Qt::AlignLeft | Qt::AlignTop);
    m_layout->addStretch(1);
}

int CMyReBar::barHeight() const
{
    const int bar = m_bar ? m_bar->sizeHint().height() : 0;
    return bar + 2 * kBorder;
}

void CMyReBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor::fromRgb(kTopColor));
    gradient.setColorAt(1.0, QColor::fromRgb(kBottomColor));
    painter.fillRect(rect(), gradient);
}
