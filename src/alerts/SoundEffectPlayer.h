#pragma once

#include "alerts/AlarmPlayer.h"

#include <QObject>

#include <memory>

class QSoundEffect;

// The alarm player on QSoundEffect (WAV files, once or looped). A sound that cannot be loaded
// (a user file moved, deleted or not a WAV) is replaced by the fallback sound, the way the
// system plays its default sound: an enabled alarm is never silent.
class SoundEffectPlayer : public QObject, public AlarmPlayer
{
    Q_OBJECT

public:
    explicit SoundEffectPlayer(QString fallbackPath = QString(), QObject* parent = nullptr);
    ~SoundEffectPlayer() override;

    void Play(const QString& path, bool loop) override;
    void Stop() override;

    // The file being played (or loaded to play); empty when stopped.
    QString playingFile() const;
    bool isLooping() const;

private:
    void OnStatusChanged();

    QString m_fallback;
    bool m_wanted = false; // a sound should be playing
    std::unique_ptr<QSoundEffect> m_effect;
};
