#pragma once

#include <QString>

// Plays alarm sounds; one sound at a time, a new one replaces the playing one.
class AlarmPlayer
{
public:
    virtual ~AlarmPlayer() = default;

    virtual void Play(const QString& path, bool loop) = 0;
    virtual void Stop() = 0;
};
