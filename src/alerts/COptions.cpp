#include "alerts/COptions.h"

#include "platform/ProfileFile.h"

#include <QDir>

namespace {
const QString kSection = QStringLiteral("General");
}

COptions::COptions(QString programFolder, QString iniPath)
    : m_programFolder(std::move(programFolder)), m_iniPath(std::move(iniPath))
{
}

void COptions::Load()
{
    autoPopup = ProfileFile::readInt(m_iniPath, kSection, QStringLiteral("AutoPopup"), 0);
    invokeAlarm = ProfileFile::readInt(m_iniPath, kSection, QStringLiteral("InvokeAlarm"), 0);
    waveSelect = ProfileFile::readInt(m_iniPath, kSection, QStringLiteral("WaveSelect"), Buzzer);
    if (waveSelect < Buzzer || waveSelect > UserFile)
        waveSelect = Buzzer;
    waveFile =
        ProfileFile::readString(m_iniPath, kSection, QStringLiteral("WaveFile"), QString(), 1024);
    duration = ProfileFile::readInt(m_iniPath, kSection, QStringLiteral("Duration"), 0);
    askBeforeUnlock =
        ProfileFile::readInt(m_iniPath, kSection, QStringLiteral("AskBeforeUnlock"), 1) != 0;
}

bool COptions::Save(const QString& durationText) const
{
    const auto flag = [](int v) { return v ? QStringLiteral("1") : QStringLiteral("0"); };
    // One replacement of the file: the options are saved together or not at all.
    return ProfileFile::writeStrings(m_iniPath, kSection,
                                     {{QStringLiteral("AutoPopup"), flag(autoPopup)},
                                      {QStringLiteral("InvokeAlarm"), flag(invokeAlarm)},
                                      {QStringLiteral("WaveSelect"), QString::number(waveSelect)},
                                      {QStringLiteral("WaveFile"), waveFile},
                                      {QStringLiteral("Duration"), durationText},
                                      {QStringLiteral("AskBeforeUnlock"), flag(askBeforeUnlock)}});
}

QString COptions::WaveFileFor(int soundChoice) const
{
    switch (soundChoice) {
    case Buzzer:
        return QDir(m_programFolder).filePath(QStringLiteral("Wave/Buzzer.wav"));
    case Ring:
        return QDir(m_programFolder).filePath(QStringLiteral("Wave/Ring.wav"));
    default:
        // An enabled alarm never goes silent for want of a file name (an ini that chooses the
        // user's sound but names none): the buzzer plays instead.
        return waveFile.isEmpty() ? WaveFileFor(Buzzer) : waveFile;
    }
}

QString COptions::GetWaveFile() const
{
    return invokeAlarm ? WaveFileFor(waveSelect) : QString();
}
