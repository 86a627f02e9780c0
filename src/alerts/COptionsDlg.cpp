#include "alerts/COptionsDlg.h"

#include "alerts/AlarmPlayer.h"
#include "alerts/COptions.h"
#include "i18n/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return CStringTable::Instance().GetText(QString::fromLatin1(key));
}

QString chooseWaveFile(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    dialog.setNameFilter(QStringLiteral("Alarm Sound (*.wav)"));
    dialog.selectFile(QStringLiteral("*.wav"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

COptionsDlg::COptionsDlg(COptions& options, AlarmPlayer& player, QWidget* parent)
    : QDialog(parent), m_options(options), m_player(player), m_chooseFile(chooseWaveFile),
      m_waveSelect(options.waveSelect), m_waveFile(options.waveFile),
      m_autoPopup(new QCheckBox(text("TAV_IDC_CHECK_AUTO_POPUP"), this)),
      m_alarm(new QCheckBox(text("TAV_IDC_CHECK_INVOKE_ALARM"), this)),
      m_sound(new QComboBox(this)), m_play(new QPushButton(this)), m_duration(new QComboBox(this)),
      m_askUnlock(new QCheckBox(text("TAV_IDC_CHECK_ASK_UNLOCK"), this))
{
    setWindowTitle(text("TAV_IDD_OPTIONS_DLG"));
    m_autoPopup->setChecked(options.autoPopup != 0);
    m_alarm->setChecked(options.invokeAlarm != 0);
    m_askUnlock->setChecked(options.askBeforeUnlock != 0);

    m_sound->addItems(
        {QStringLiteral("Buzzer"), QStringLiteral("Ring"), text("TAV_IDS_USER_DEFINE")});
    m_sound->setCurrentIndex(m_waveSelect);
    m_play->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_play->setIconSize(QSize(16, 16));

    m_duration->setEditable(true);
    m_duration->addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"),
                          QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("60"),
                          QStringLiteral("120"), QStringLiteral("180")});
    m_duration->setInsertPolicy(QComboBox::NoInsert);
    m_duration->lineEdit()->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,4}")), m_duration));
    m_duration->setEditText(QString::number(options.duration));

    auto* soundRow = new QHBoxLayout;
    soundRow->addWidget(m_sound, 1);
    soundRow->addWidget(m_play);
    auto* durationRow = new QHBoxLayout;
    durationRow->addWidget(new QLabel(text("TAV_IDS_DURATION"), this));
    durationRow->addWidget(m_duration, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(text("TAV_IDS_OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(text("TAV_IDS_CANCEL"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_autoPopup);
    layout->addWidget(m_alarm);
    layout->addLayout(soundRow);
    layout->addLayout(durationRow);
    layout->addWidget(m_askUnlock);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);
    connect(m_alarm, &QCheckBox::toggled, this, &COptionsDlg::OnAlarmToggled);
    connect(m_sound, QOverload<int>::of(&QComboBox::activated), this, &COptionsDlg::OnSoundChosen);
    connect(m_play, &QPushButton::clicked, this, &COptionsDlg::OnPlay);
    OnAlarmToggled();
}

void COptionsDlg::OnAlarmToggled()
{
    const bool on = m_alarm->isChecked();
    m_sound->setEnabled(on);
    m_play->setEnabled(on);
    m_duration->setEnabled(on);
}

void COptionsDlg::OnSoundChosen(int index)
{
    if (index == COptions::UserFile) {
        const QString chosen = m_chooseFile ? m_chooseFile(this) : QString();
        if (chosen.isEmpty()) {
            m_sound->setCurrentIndex(m_waveSelect);
            return;
        }
        m_waveFile = chosen;
    }
    m_waveSelect = index;
}

void COptionsDlg::OnPlay()
{
    COptions preview = m_options;
    preview.invokeAlarm = 1;
    preview.waveSelect = m_waveSelect;
    preview.waveFile = m_waveFile;
    const QString path = preview.GetWaveFile();
    if (!path.isEmpty())
        m_player.Play(path, false);
}

void COptionsDlg::accept()
{
    const QString durationText = m_duration->currentText();
    m_options.autoPopup = m_autoPopup->isChecked() ? 1 : 0;
    m_options.invokeAlarm = m_alarm->isChecked() ? 1 : 0;
    m_options.waveSelect = m_waveSelect;
    m_options.waveFile = m_waveFile;
    m_options.duration = durationText.toInt(); // 0 when empty
    m_options.askBeforeUnlock = m_askUnlock->isChecked() ? 1 : 0;
    m_options.Save(durationText);
    QDialog::accept();
}
