#pragma once

#include "alerts/AlarmPlayer.h"

#include <QFileInfo>
#include <QStringList>

// An alarm player that only notes what it was asked: "loop Ring.wav", "once Buzzer.wav", "stop".
struct PlayerRecorder : AlarmPlayer
{
    QStringList log;
    bool outputOpens = true; // what Play answers
    bool Play(const QString& path, bool loop) override
    {
        log << QStringLiteral("%1 %2").arg(loop ? "loop" : "once", QFileInfo(path).fileName());
        return outputOpens;
    }
    void Stop() override { log << QStringLiteral("stop"); }
};
