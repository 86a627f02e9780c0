#include "alerts/CEventAlert.h"

#include "alerts/CAlarm.h"
#include "alerts/COptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QWidget>

#include <climits>

CEventAlert::CEventAlert(QWidget& dialog, QAbstractItemView* eventList, const COptions& options,
                         CAlarm& alarm)
    : m_dialog(dialog), m_list(eventList), m_options(options), m_alarm(alarm)
{
}

void CEventAlert::RaiseEventAlert()
{
    if (m_list && QApplication::activeWindow() != m_dialog.window())
        m_list->scrollToTop();
    if (!m_dialog.isVisible()) {
        if (m_list && m_list->model() && m_list->model()->rowCount() > 0)
            m_list->setCurrentIndex(m_list->model()->index(0, 0));
        const bool wasSet = m_dialog.testAttribute(Qt::WA_ShowWithoutActivating);
        m_dialog.setAttribute(Qt::WA_ShowWithoutActivating, true);
        m_dialog.showMinimized();
        m_dialog.setAttribute(Qt::WA_ShowWithoutActivating, wasSet);
    }
    // Stays highlighted in the taskbar until the operator comes to the window.
    QApplication::alert(&m_dialog, 0);
    if (m_options.autoPopup) {
        m_dialog.showNormal();
        m_dialog.raise();
        m_dialog.activateWindow();
    }
    const qint64 ms = qint64(m_options.duration) * 1000;
    m_alarm.StartAlarm(int(qBound(qint64(INT_MIN), ms, qint64(INT_MAX))), m_options.GetWaveFile());
}
