#include "tray/CMainWindow.h"

#include "connection/ConnectionManager.h"
#include "i18n/StringTable.h"
#include "model/HostStatus.h"
#include "ui/mainwindow/CTNClientTestDlg.h"
#include "ui/mainwindow/ProgramIcons.h"

#include <QAction>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>

Q_LOGGING_CATEGORY(lcTray, "krnotify.tray")

namespace {
struct StateLook
{
    int icon;
    const char* tipKey;
};
constexpr StateLook kStates[] = {
    {ProgramIcons::TrayConnected, "TAV_IDS_CONNECTED"},
    {ProgramIcons::TrayConnecting, "TAV_IDS_CONNECTING"},
    {ProgramIcons::TrayDisconnected, "TAV_IDS_DISCONNECTED"},
};
} // namespace

CMainWindow::CMainWindow(std::unique_ptr<CTNClientTestDlg> dialog, bool startMinimized,
                         bool trayAvailable, QObject* parent)
    : QObject(parent), m_dialog(std::move(dialog)), m_menu(std::make_unique<QMenu>()),
      m_tray(new QSystemTrayIcon(this)), m_startMinimized(startMinimized),
      m_trayAvailable(trayAvailable)
{
    setObjectName(QStringLiteral("KRNotifyMainFrame"));
}

CMainWindow::~CMainWindow()
{
    m_tray->hide();
    // The dialog goes first: it saves the host list and releases the hosts.
    m_dialog.reset();
}

bool CMainWindow::Create()
{
    if (!m_dialog->Create())
        return false;
    m_dialog->setCloseMinimizes(!m_trayAvailable);
    connect(&m_dialog->manager(), &CConnectionManager::connectionSummary, this,
            &CMainWindow::OnTrayConnectionState);
    connect(&m_dialog->manager(), &CConnectionManager::hostStatusChanged, this,
            &CMainWindow::RefreshTip);
    connect(m_dialog.get(), &CTNClientTestDlg::warningsChanged, this, &CMainWindow::RefreshTip);

    // One item; its text is looked up each time the menu opens.
    QAction* exitAction = m_menu->addAction(QString());
    exitAction->setData(kExitCommand);
    connect(m_menu.get(), &QMenu::aboutToShow, this, [exitAction] {
        exitAction->setText(CStringTable::Instance().GetText(QStringLiteral("TAV_ID_APP_EXIT")));
    });
    connect(exitAction, &QAction::triggered, this, &CMainWindow::Close);
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    Activate();
            });

    UpdateTrayIcon(TipText(), ProgramIcons::TrayDisconnected);
    // Shown even without a tray now: the icon appears once a tray comes up.
    m_tray->show();

    if (!m_trayAvailable) {
        qCInfo(lcTray) << "no system tray: the main dialog stays reachable as a window";
        if (m_startMinimized)
            m_dialog->showMinimized();
        else
            Activate();
    } else if (!m_startMinimized) {
        Activate();
    }
    LogDialogState("created");
    return true;
}

void CMainWindow::LogDialogState(const char* when) const
{
    const char* state = !m_dialog->isVisible()    ? "hidden"
                        : m_dialog->isMinimized() ? "minimised"
                                                  : "shown";
    qCInfo(lcTray) << "main dialog" << state << "(" << when << ")";
}

QString CMainWindow::trayTip() const
{
    return m_tray->toolTip();
}

QString CMainWindow::CutTip(const QString& text)
{
    return text.left(kMaxTipChars);
}

void CMainWindow::OnTrayConnectionState(int state)
{
    if (state < TrayConnected || state > TrayDisconnected)
        return;
    m_state = state;
    UpdateTrayIcon(TipText(), kStates[state].icon);
}

QString CMainWindow::TipText() const
{
    const CStringTable& texts = CStringTable::Instance();
    QStringList lines{texts.GetText(QString::fromLatin1(kStates[m_state].tipKey))};
    lines << HostStatus::DownHostLines(m_dialog->manager().hosts());
    lines << m_dialog->WarningTexts();
    for (QString& line : lines)
        line = CutTip(line);
    return lines.join(QLatin1Char('\n'));
}

void CMainWindow::RefreshTip()
{
    m_tray->setToolTip(TipText());
}

void CMainWindow::UpdateTrayIcon(const QString& text, int icon)
{
    const QIcon image = ProgramIcons::Icon(icon);
    if (!image.isNull())
        m_tray->setIcon(image); // a picture that does not load leaves the previous one
    m_tray->setToolTip(text);
}

void CMainWindow::Activate()
{
    if (m_closed)
        return;
    if (m_dialog->isMinimized())
        m_dialog->showNormal();
    else
        m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
    LogDialogState("activated");
}

void CMainWindow::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    qCInfo(lcTray) << "frame closing";
    m_tray->hide();
    Q_EMIT closed();
}
