#pragma once

#include <QString>

// The operator's alert options, kept in section "General" of "KRNotify.ini".
class COptions
{
public:
    enum Sound
    {
        Buzzer = 0,
        Ring = 1,
        UserFile = 2
    };

    // programFolder holds "Wave/"; iniPath is the options file.
    COptions(QString programFolder, QString iniPath);

    // Reads every option; a missing file or key gives the default.
    void Load();
    // Writes every key; durationText is written as given (the duration field's text).
    bool Save(const QString& durationText) const;
    bool Save() const { return Save(QString::number(duration)); }

    // The sound to play, or empty when the alarm is disabled.
    QString GetWaveFile() const;
    // The file of a sound choice, whatever the alarm switch says; the buzzer for the user's
    // sound when no file was chosen.
    QString WaveFileFor(int soundChoice) const;

    QString programFolder() const { return m_programFolder; }
    QString iniPath() const { return m_iniPath; }

    int autoPopup = 0;
    int invokeAlarm = 0;
    int waveSelect = Buzzer;
    QString waveFile;
    int duration = 0; // seconds; 0 or less plays the sound once
    // Unlock asks the operator first, naming the door, its controller and its host.
    int askBeforeUnlock = 1;

private:
    QString m_programFolder;
    QString m_iniPath;
};
