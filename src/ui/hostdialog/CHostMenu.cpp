#include "ui/hostdialog/CHostMenu.h"

#include "connection/ConnectionManager.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "ui/hostdialog/CHostDlg.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>

namespace {
QString KeyOf(int command)
{
    switch (command) {
    case CHostMenu::AddHost:
        return QStringLiteral("TAV_IDD_ADDHOST_DLG");
    case CHostMenu::EditHost:
        return QStringLiteral("TAV_IDD_EDITHOST_DLG");
    case CHostMenu::RemoveHost:
        return QStringLiteral("TAV_ID_DEVICE_REMOVE_HOST");
    case CHostMenu::Reconnect:
        return QStringLiteral("TAV_ID_DEVICE_RECONNECT");
    default:
        return {};
    }
}
} // namespace

CHostMenu::CHostMenu(CConnectionManager& manager, QWidget* owner)
    : QObject(owner), m_manager(manager), m_owner(owner)
{
}

QList<int> CHostMenu::Items(int level)
{
    if (level == -1)
        return {AddHost};
    if (level == 0)
        return {AddHost, EditHost, RemoveHost, kSeparator, Reconnect};
    return {};
}

void CHostMenu::Show(int level, int id, const QPoint& screenPos)
{
    const QList<int> items = Items(level);
    if (items.isEmpty())
        return;
    QMenu menu(m_owner);
    const CStringTable& texts = CStringTable::Instance();
    for (int command : items) {
        if (command == kSeparator)
            menu.addSeparator();
        else
            menu.addAction(texts.GetText(KeyOf(command)))->setData(command);
    }
    const int command = TrackMenu(menu, screenPos);
    if (command != 0)
        Run(command, level == 0 ? id : -1);
}

void CHostMenu::Run(int command, int hostId)
{
    if (command == AddHost) {
        ShowHostDialog(nullptr);
        return;
    }
    CKRHost* host = m_manager.FindHostById(hostId);
    if (!host)
        return;
    switch (command) {
    case EditHost:
        ShowHostDialog(host);
        break;
    case Reconnect:
        m_manager.ReconnectHost(*host);
        break;
    case RemoveHost: {
        const CStringTable& texts = CStringTable::Instance();
        const QString title = texts.GetText(QStringLiteral("TAV_IDS_CONFIRM_HOST_DELETE_TITLE"));
        const QString message =
            texts.GetText(QStringLiteral("TAV_IDS_CONFIRM_HOST_DELETE_MSG"), {host->name});
        if (ConfirmRemove(title, message))
            m_manager.RemoveHost(hostId);
        break;
    }
    default:
        break;
    }
}

bool CHostMenu::ShowHostDialog(CKRHost* host)
{
    CHostDlg dialog(m_owner);
    if (host) {
        dialog.m_title = CStringTable::Instance().GetText(QStringLiteral("TAV_IDD_EDITHOST_DLG"));
        dialog.m_hostName = host->name;
        dialog.m_address = host->address;
        dialog.m_port = host->port;
        dialog.m_userName = host->userName;
        dialog.m_password = host->password;
    }
    const int hostId = host ? host->hostId : -1;
    if (!RunHostDialog(dialog))
        return false;
    // The host may have gone while the dialog ran (a nested event loop): edit it only if it
    // is still in the map.
    CKRHost* existing = host ? m_manager.FindHostById(hostId) : nullptr;
    if (host && !existing)
        return false;
    HostSettings settings;
    settings.name = dialog.m_hostName;
    settings.address = dialog.m_address;
    settings.port = dialog.m_port;
    settings.userName = dialog.m_userName;
    settings.password = dialog.m_password;
    return m_manager.ApplyHostSettings(existing, settings) != nullptr;
}

int CHostMenu::TrackMenu(QMenu& menu, const QPoint& screenPos)
{
    const QAction* chosen = menu.exec(screenPos);
    return chosen ? chosen->data().toInt() : 0;
}

bool CHostMenu::RunHostDialog(CHostDlg& dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

bool CHostMenu::ConfirmRemove(const QString& title, const QString& message)
{
    QMessageBox box(QMessageBox::Question, title, message, QMessageBox::Yes | QMessageBox::No,
                    m_owner);
    if (m_owner && m_owner->layoutDirection() == Qt::RightToLeft)
        box.setLayoutDirection(Qt::RightToLeft);
    return box.exec() == QMessageBox::Yes;
}
