#include "ui/hostdialog/CHostDlg.h"

#include "i18n/StringTable.h"
#include "ui/mainwindow/ProgramIcons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {
constexpr const char* kLabelKeys[5] = {"TAV_IDC_HOSTNAME_LABEL", "TAV_IDC_ADDRESS_LABEL",
                                       "TAV_IDC_PORT_LABEL", "TAV_IDC_USERNAME_LABEL",
                                       "TAV_IDC_PASSWORD_LABEL"};
// The framework's own text for a box that must hold an integer.
constexpr const char* kEnterInteger = "Enter an integer.";
} // namespace

CHostDlg::CHostDlg(QWidget* parent)
    : QDialog(parent),
      m_title(CStringTable::Instance().GetText(QStringLiteral("TAV_IDD_ADDHOST_DLG"))),
      m_hostNameEdit(new QLineEdit), m_addressEdit(new QLineEdit), m_portEdit(new QLineEdit),
      m_userNameEdit(new QLineEdit), m_passwordEdit(new QLineEdit), m_ok(new QPushButton),
      m_cancel(new QPushButton)
{
    const CStringTable& texts = CStringTable::Instance();
    if (texts.RightToLeft())
        setLayoutDirection(Qt::RightToLeft);

    // Digits only, as typed; a pasted or empty text is still refused by the exchange.
    m_portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_portEdit));
    m_portEdit->setMaxLength(10);
    m_passwordEdit->setEchoMode(QLineEdit::Password);

    auto* grid = new QGridLayout;
    QLineEdit* edits[5] = {m_hostNameEdit, m_addressEdit, m_portEdit, m_userNameEdit,
                           m_passwordEdit};
    for (int row = 0; row < 5; ++row) {
        m_labels[row] = new QLabel;
        m_labels[row]->setBuddy(edits[row]);
        edits[row]->setMinimumWidth(160);
        grid->addWidget(m_labels[row], row, 0);
        grid->addWidget(edits[row], row, 1);
    }
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CHostDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CHostDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void CHostDlg::showEvent(QShowEvent* event)
{
    if (!m_initialized) {
        // Initialisation runs once, when the dialog first appears with the caller's fields.
        m_initialized = true;
        const CStringTable& texts = CStringTable::Instance();
        setWindowIcon(ProgramIcons::Icon(ProgramIcons::AddHost));
        setWindowTitle(m_title);
        for (int row = 0; row < 5; ++row)
            m_labels[row]->setText(texts.GetText(QString::fromLatin1(kLabelKeys[row])));
        m_ok->setText(texts.GetText(QStringLiteral("TAV_IDS_OK")));
        m_cancel->setText(texts.GetText(QStringLiteral("TAV_IDS_CANCEL")));
        UpdateData(false);
    }
    QDialog::showEvent(event);
}

bool CHostDlg::UpdateData(bool saveAndValidate)
{
    if (!saveAndValidate) {
        // Every box is filled, even when the stored port is out of range: stopping at the port
        // would leave the user name and password boxes empty, and OK would then erase them.
        m_hostNameEdit->setText(m_hostName);
        m_addressEdit->setText(m_address);
        m_portEdit->setText(QString::number(m_port));
        m_userNameEdit->setText(m_userName);
        m_passwordEdit->setText(m_password);
        if (m_port < kMinPort || m_port > kMaxPort) {
            RejectPort(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_PARSE_INT_RANGE"),
                                                        {kMinPort, kMaxPort}));
            return false;
        }
        return true;
    }
    m_hostName = m_hostNameEdit->text();
    m_address = m_addressEdit->text();
    if (!ValidatePort(m_portEdit->text()))
        return false;
    m_userName = m_userNameEdit->text();
    m_password = m_passwordEdit->text();
    return true;
}

bool CHostDlg::ValidatePort(const QString& text)
{
    bool isInteger = false;
    const qlonglong value = text.trimmed().toLongLong(&isInteger);
    if (!isInteger) {
        RejectPort(QString::fromLatin1(kEnterInteger));
        return false;
    }
    if (value < kMinPort || value > kMaxPort) {
        RejectPort(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_PARSE_INT_RANGE"),
                                                    {kMinPort, kMaxPort}));
        return false;
    }
    m_port = int(value);
    return true;
}

void CHostDlg::RejectPort(const QString& message)
{
    ShowPortMessage(message);
    m_portEdit->setFocus();
    m_portEdit->selectAll();
}

void CHostDlg::ShowPortMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    if (CStringTable::Instance().RightToLeft())
        box.setLayoutDirection(Qt::RightToLeft);
    box.exec();
}

void CHostDlg::accept()
{
    if (UpdateData(true))
        QDialog::accept();
}
