#include "alerts/CAlarm.h"

#include "alerts/AlarmPlayer.h"
#include "platform/PerfLog.h"

CAlarm::CAlarm(AlarmPlayer& player, QObject* parent) : QObject(parent), m_player(player)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CAlarm::OnAlarmTimer);
}

void CAlarm::StartAlarm(int durationMs, const QString& path)
{
    StopAlarm();
    if (path.isEmpty())
        return;
    ++PerfLog::counters().alarmsStarted;
    if (durationMs <= 0) {
        Played(m_player.Play(path, false));
        return;
    }
    Played(m_player.Play(path, true));
    m_timer.start(durationMs);
}

void CAlarm::Played(bool heard)
{
    if (heard == m_soundWorks)
        return;
    m_soundWorks = heard;
    Q_EMIT soundWorksChanged(heard);
}

void CAlarm::StopAlarm()
{
    m_timer.stop();
    m_player.Stop();
}

void CAlarm::OnAlarmTimer()
{
    StopAlarm();
}
