#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <memory>

class CTNClientTestDlg;
class QMenu;
class QSystemTrayIcon;

// The program's frame: it owns the tray icon (the aggregate connection state and the exit
// menu) and the main dialog. Its own window is never shown, so it has none; a second instance
// reaches it through the frame channel (Activate, Close). Closing the frame ends the program.
class CMainWindow : public QObject
{
    Q_OBJECT

public:
    enum TrayState
    {
        TrayConnected = 0,
        TrayConnecting = 1,
        TrayDisconnected = 2
    };
    static constexpr int kExitCommand = 500;
    static constexpr int kMaxTipChars = 127;

    // Takes the main dialog (created but not yet Create()d); trayAvailable says whether a system
    // tray can show the icon now. Without one the dialog starts shown (minimised with
    // startMinimized) and closing it minimises it, so the window stays reachable.
    CMainWindow(std::unique_ptr<CTNClientTestDlg> dialog, bool startMinimized, bool trayAvailable,
                QObject* parent = nullptr);
    ~CMainWindow() override;

    // Frame creation: the main dialog, the tray icon in the disconnected state, the dialog shown
    // unless started minimised. False when the main dialog cannot be created.
    bool Create();

    CTNClientTestDlg& dialog() { return *m_dialog; }
    QSystemTrayIcon& trayIcon() { return *m_tray; }
    QMenu& trayMenu() { return *m_menu; }
    int trayState() const { return m_state; }
    QString trayTip() const;

    // One line of the tip as the tray shows it: at most 127 characters.
    static QString CutTip(const QString& text);

public Q_SLOTS:
    // The aggregate connection state (0, 1 or 2); other values are ignored.
    void OnTrayConnectionState(int state);
    // Shows the dialog as it was left (restored if minimised) and brings it to the front.
    void Activate();
    // Ends the program: removes the tray icon and reports closed().
    void Close();

Q_SIGNALS:
    // The frame has closed (exit command, close request, signal): the program ends.
    void closed();

private:
    void UpdateTrayIcon(const QString& text, int icon);
    // The tip: the connection state, then each host that is not connected with the reason,
    // then the main dialog's warnings (a silent alarm, a full snapshot folder).
    QString TipText() const;
    void RefreshTip();
    // One log line with where the main dialog is: hidden, minimised or shown.
    void LogDialogState(const char* when) const;

    std::unique_ptr<CTNClientTestDlg> m_dialog;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray;
    bool m_startMinimized;
    bool m_trayAvailable;
    bool m_closed = false;
    int m_state = TrayDisconnected;
};
