#pragma once

#include "alerts/AlarmPlayer.h"

#include <QObject>

#include <memory>

class QSoundEffect;

// The alarm player on QSoundEffect (WAV files, once or looped).
class SoundEffectPlayer : public QObject, public AlarmPlayer
{
    Q_OBJECT

public:
    explicit SoundEffectPlayer(QObject* parent = nullptr);
    ~SoundEffectPlayer() override;

    void Play(const QString& path, bool loop) override;
    void Stop() override;

private:
    std::unique_ptr<QSoundEffect> m_effect;
};
