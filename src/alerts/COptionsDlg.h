#pragma once

#include <QDialog>

#include <functional>

class AlarmPlayer;
class COptions;
class QCheckBox;
class QComboBox;
class QPushButton;

// The options dialog. It edits a working copy: OK takes the values into the options and
// writes the file; Cancel leaves both as they were.
class COptionsDlg : public QDialog
{
    Q_OBJECT

public:
    // Picks a user sound file; empty when the operator cancels.
    using FileChooser = std::function<QString(QWidget* parent)>;

    COptionsDlg(COptions& options, AlarmPlayer& player, QWidget* parent = nullptr);

    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    void accept() override;

    // The controls, by their role (tests drive them).
    QCheckBox* autoPopupBox() const { return m_autoPopup; }
    QCheckBox* alarmBox() const { return m_alarm; }
    QComboBox* soundList() const { return m_sound; }
    QPushButton* playButton() const { return m_play; }
    QComboBox* durationField() const { return m_duration; }
    QCheckBox* askUnlockBox() const { return m_askUnlock; }

private:
    void OnAlarmToggled();
    void OnSoundChosen(int index);
    void OnPlay();

    COptions& m_options;
    AlarmPlayer& m_player;
    FileChooser m_chooseFile;
    int m_waveSelect;
    QString m_waveFile;
    QCheckBox* m_autoPopup;
    QCheckBox* m_alarm;
    QComboBox* m_sound;
    QPushButton* m_play;
    QComboBox* m_duration;
    QCheckBox* m_askUnlock;
};
