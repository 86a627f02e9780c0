#include "ui/mainwindow/CAboutDlg.h"

#include "i18n/StringTable.h"
#include "ui/mainwindow/ProgramIcons.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_name(new QLabel), m_version(new QLabel), m_ok(new QPushButton)
{
    const CStringTable& texts = CStringTable::Instance();
    if (texts.RightToLeft())
        setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(texts.GetText(QStringLiteral("TAV_IDD_ABOUT_DLG")));

    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcons::Icon(ProgramIcons::Application).pixmap(32, 32));
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setText(texts.GetText(QStringLiteral("TAV_IDS_APP_NAME")));
    m_version->setText(QString::fromLatin1(kVersionText));
    m_version->setAlignment(Qt::AlignCenter);
    m_ok->setText(texts.GetText(QStringLiteral("TAV_IDS_OK")));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* group = new QGroupBox;
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_name);
    groupLayout->addWidget(m_version);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(group, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
}
