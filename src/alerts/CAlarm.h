#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class AlarmPlayer;

// The alarm sound: once, or looped until the alarm timer (timer 3) ends it or it is stopped.
class CAlarm : public QObject
{
    Q_OBJECT

public:
    explicit CAlarm(AlarmPlayer& player, QObject* parent = nullptr);

    // Stops any alarm first; an empty path ends there. durationMs <= 0 plays once, otherwise
    // loops for durationMs.
    void StartAlarm(int durationMs, const QString& path);

    void StopAlarm();
    // Timer 3 expiry.
    void OnAlarmTimer();

    // False since an alarm found no audio output it could open; true again once one plays.
    bool soundWorks() const { return m_soundWorks; }

    bool isTimerActive() const { return m_timer.isActive(); }
    int timerInterval() const { return m_timer.interval(); }

Q_SIGNALS:
    void soundWorksChanged(bool works);

private:
    void Played(bool heard);

    AlarmPlayer& m_player;
    QTimer m_timer;
    bool m_soundWorks = true;
};
