#include "video/CLiveView.h"

#include "video/CLiveVideo.h"
#include "video/VideoLibrary.h"

#include <QResizeEvent>

CLiveView::CLiveView(CLiveVideo& live, QWidget* parent) : QWidget(parent), m_live(&live)
{
    setObjectName(QStringLiteral("LiveView"));
    setWindowTitle(QStringLiteral("LiveView"));
}

CLiveView::~CLiveView()
{
    if (!m_live)
        return; // the library went first; the window goes with this widget
    m_live->detachVideoWindow();
    if (m_videoWindow)
        m_live->library().LiveVideo_Destroy(m_videoWindow);
}

bool CLiveView::Create()
{
    if (!m_live || m_videoWindow)
        return m_videoWindow != nullptr;
    m_videoWindow = m_live->library().LiveVideo_Create(this);
    if (!m_videoWindow)
        return false;
    m_videoWindow->setGeometry(rect());
    m_live->attachVideoWindow(m_videoWindow);
    return true;
}

void CLiveView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_videoWindow) {
        m_videoWindow->setGeometry(0, 0, event->size().width(), event->size().height());
        m_videoWindow->update();
    }
}
