#pragma once

#include "alerts/AlarmPlayer.h"

#include <QObject>

#include <functional>
#include <memory>

class QSoundEffect;

// The alarm player on QSoundEffect (WAV files, once or looped). A sound that cannot be loaded
// (a user file moved, deleted or not a WAV) is replaced by the fallback sound, the way the
// system plays its default sound: an enabled alarm is never silent. Whether the sound can be
// heard at all is asked of the audio output before each sound.
class SoundEffectPlayer : public QObject, public AlarmPlayer
{
    Q_OBJECT

public:
    // True when an audio output can be opened now.
    using OutputProbe = std::function<bool()>;

    explicit SoundEffectPlayer(QString fallbackPath = QString(), QObject* parent = nullptr);
    // Tests pass their own probe.
    SoundEffectPlayer(QString fallbackPath, OutputProbe outputOpens, QObject* parent = nullptr);
    ~SoundEffectPlayer() override;

    // Opens the system's default audio output for a moment.
    static bool DefaultOutputOpens();

    bool Play(const QString& path, bool loop) override;
    void Stop() override;

    // The file being played (or loaded to play); empty when stopped.
    QString playingFile() const;
    bool isLooping() const;

private:
    void OnStatusChanged();

    QString m_fallback;
    OutputProbe m_outputOpens;
    bool m_wanted = false; // a sound should be playing
    std::unique_ptr<QSoundEffect> m_effect;
};
