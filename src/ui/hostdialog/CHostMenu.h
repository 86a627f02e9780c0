#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class CConnectionManager;
class CHostDlg;
class CKRHost;
class QMenu;
class QWidget;

// The host context menu of the device tree and the add / edit / remove / reconnect flows
// behind it. The data half of each flow is the connection core's; this class asks the operator.
class CHostMenu : public QObject
{
    Q_OBJECT

public:
    enum Command
    {
        AddHost = 501,
        RemoveHost = 502,
        EditHost = 503,
        Reconnect = 504
    };
    static constexpr int kSeparator = 0;

    CHostMenu(CConnectionManager& manager, QWidget* owner);

    // The menu's items for a click on no node (level -1) or a host node (level 0), in order;
    // empty for every other level.
    static QList<int> Items(int level);

    // Right click in the tree: shows the menu at the screen point and runs the chosen command.
    void Show(int level, int id, const QPoint& screenPos);
    // Runs one menu command for the host id (ignored by AddHost).
    void Run(int command, int hostId);
    // The add (nullptr) and edit flow: runs the host dialog and applies it on OK.
    // Returns whether anything was applied.
    bool ShowHostDialog(CKRHost* host);

protected:
    // Seams for tests; the defaults show the real menu, dialog and message box.
    virtual int TrackMenu(QMenu& menu, const QPoint& screenPos);
    virtual bool RunHostDialog(CHostDlg& dialog);
    virtual bool ConfirmRemove(const QString& title, const QString& message);

private:
    CConnectionManager& m_manager;
    QWidget* m_owner;
};
