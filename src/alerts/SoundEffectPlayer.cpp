#include "alerts/SoundEffectPlayer.h"

#include <QLoggingCategory>
#include <QSoundEffect>
#include <QUrl>

Q_LOGGING_CATEGORY(lcAlarmSound, "krnotify.alarm")

SoundEffectPlayer::SoundEffectPlayer(QObject* parent)
    : QObject(parent), m_effect(std::make_unique<QSoundEffect>())
{
    connect(m_effect.get(), &QSoundEffect::statusChanged, this, [this] {
        if (m_effect->status() == QSoundEffect::Error)
            qCWarning(lcAlarmSound) << "cannot play" << m_effect->source().toLocalFile();
    });
}

SoundEffectPlayer::~SoundEffectPlayer() = default;

void SoundEffectPlayer::Play(const QString& path, bool loop)
{
    m_effect->stop();
    const QUrl source = QUrl::fromLocalFile(path);
    if (m_effect->source() != source)
        m_effect->setSource(source);
    m_effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    // Plays as soon as the file is loaded.
    m_effect->play();
}

void SoundEffectPlayer::Stop()
{
    m_effect->stop();
}
