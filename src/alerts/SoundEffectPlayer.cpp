#include "alerts/SoundEffectPlayer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

Q_LOGGING_CATEGORY(lcAlarmSound, "krnotify.alarm")

SoundEffectPlayer::SoundEffectPlayer(QString fallbackPath, QObject* parent)
    : SoundEffectPlayer(std::move(fallbackPath), &SoundEffectPlayer::DefaultOutputOpens, parent)
{
}

SoundEffectPlayer::SoundEffectPlayer(QString fallbackPath, OutputProbe outputOpens, QObject* parent)
    : QObject(parent), m_fallback(std::move(fallbackPath)), m_outputOpens(std::move(outputOpens)),
      m_effect(std::make_unique<QSoundEffect>())
{
    connect(m_effect.get(), &QSoundEffect::statusChanged, this,
            &SoundEffectPlayer::OnStatusChanged);
}

SoundEffectPlayer::~SoundEffectPlayer() = default;

bool SoundEffectPlayer::DefaultOutputOpens()
{
    // QSoundEffect itself reports a sound as playing when no output could take it.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    QAudioSink sink(device, device.preferredFormat());
    sink.start();
    const bool opened = sink.error() == QAudio::NoError && sink.state() != QAudio::StoppedState;
    sink.stop();
    return opened;
}

bool SoundEffectPlayer::Play(const QString& path, bool loop)
{
    m_effect->stop();
    m_wanted = true;
    m_effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    const QUrl source = QUrl::fromLocalFile(path);
    if (m_effect->source() != source)
        m_effect->setSource(source);
    else if (m_effect->status() == QSoundEffect::Error)
        OnStatusChanged(); // known not to load: go straight to the fallback
    // Plays as soon as the file is loaded; started even without an output, in case the output
    // comes back while it loops.
    m_effect->play();
    const bool heard = m_outputOpens();
    if (!heard)
        qCWarning(lcAlarmSound) << "no audio output can be opened: the alarm is silent";
    return heard;
}

void SoundEffectPlayer::Stop()
{
    m_wanted = false;
    m_effect->stop();
}

QString SoundEffectPlayer::playingFile() const
{
    return m_wanted ? m_effect->source().toLocalFile() : QString();
}

bool SoundEffectPlayer::isLooping() const
{
    return m_effect->loopCount() == QSoundEffect::Infinite;
}

void SoundEffectPlayer::OnStatusChanged()
{
    if (m_effect->status() != QSoundEffect::Error)
        return;
    const QString failed = m_effect->source().toLocalFile();
    qCWarning(lcAlarmSound) << "cannot play" << failed;
    if (!m_wanted || m_fallback.isEmpty() || failed == m_fallback)
        return;
    m_effect->setSource(QUrl::fromLocalFile(m_fallback));
    m_effect->play();
}
