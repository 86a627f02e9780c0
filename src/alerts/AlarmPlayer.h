#pragma once

#include <QString>

// Plays alarm sounds; one sound at a time, a new one replaces the playing one.
class AlarmPlayer
{
public:
    virtual ~AlarmPlayer() = default;

    // False when no audio output can be opened (no sound server, no device, device busy): the
    // sound cannot be heard. Every call tries the output anew.
    virtual bool Play(const QString& path, bool loop) = 0;
    virtual void Stop() = 0;
};
