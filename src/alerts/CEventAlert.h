#pragma once

#include <QAbstractItemView>
#include <QPointer>

class CAlarm;
class COptions;
class QWidget;

// The window half of the event alert: after a new row was added, make it visible, bring the
// main dialog to the taskbar and flash it, pop it up when the option says so, then start the
// alarm sound. Without a list (it went away first) the window steps and the alarm still run.
class CEventAlert
{
public:
    CEventAlert(QWidget& dialog, QAbstractItemView* eventList, const COptions& options,
                CAlarm& alarm);

    void RaiseEventAlert();

private:
    QWidget& m_dialog;
    QPointer<QAbstractItemView> m_list;
    const COptions& m_options;
    CAlarm& m_alarm;
};
