#pragma once

#include "connection/SiteViews.h"
#include "ui/devicetree/CDeviceTreeCtrlCallback.h"

#include <QDialog>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class CAlphaImageList;
class CAlphaToolBar;
class CConnectionManager;
class CDeviceTreeCtrl;
class CHostMenu;
class CMyReBar;
class ClientControl;
class PaneSplitter;
class TickSource;

// The operator's window and the hub of the program: it owns the client control and the
// connection core, lays out the device tree, the event list and the live view under a toolbar,
// and routes the toolbar's commands. Closing it only hides it (or minimises it where there is no
// tray to bring it back from).
//
// The event side and the video side plug in without changes here: they hand over their widget
// and sink (setEventList / setLiveView), listen to the command signals, and set the toolbar's
// enabled and checked states.
class CTNClientTestDlg : public QDialog, public CDeviceTreeCtrlCallback
{
    Q_OBJECT

public:
    enum Command
    {
        CmdAddHost = 1015,
        CmdOptions = 1016,
        CmdSpeaker = 1017,
        CmdMicrophone = 1018,
        CmdIntercom = 1019,
        CmdProcessed = 1020,
        CmdUnlock = 1021,
        CmdStopRing = 1031,
        CmdAbout = 16,
    };
    static constexpr int kTreeWidth = 240;
    static constexpr int kListWidth = 374;
    static constexpr int kMinWidth = 1002;
    static constexpr int kMinHeight = 394;
    static constexpr int kInitialWidth = 1362;
    static constexpr int kInitialHeight = 634;

    // The real client control over TCP and the system clock.
    explicit CTNClientTestDlg(QWidget* parent = nullptr);
    // Tests pass their own control and tick source.
    CTNClientTestDlg(std::unique_ptr<ClientControl> control, std::unique_ptr<TickSource> ticks,
                     QWidget* parent = nullptr);
    ~CTNClientTestDlg() override;

    // Creation and initialisation: the control, the children, the toolbar, the host list and
    // the timers. False when the client control cannot be initialised.
    bool Create();

    CConnectionManager& manager() { return *m_manager; }
    CAlphaToolBar& toolBar() { return *m_toolBar; }
    CMyReBar& reBar() { return *m_reBar; }
    const CAlphaImageList& images() const { return *m_images; }
    CHostMenu& hostMenu() { return *m_hostMenu; }
    QWidget* deviceTreeWidget() const { return m_tree; }
    QWidget* eventListWidget() const { return m_eventList; }
    QWidget* liveViewWidget() const { return m_liveView; }
    // The splitter between the tree, the live view and the list.
    PaneSplitter& panes() { return *m_panes; }
    QString snapshotFolder() const { return m_snapshotFolder; }

    // Replace the placeholder areas with the real views; the dialog takes the widget, the core
    // reports to the sink (either may be null to keep the current one).
    void setDeviceTree(QWidget* widget, DeviceTreeSink* sink);
    void setEventList(QWidget* widget, EventListSink* sink);
    void setLiveView(QWidget* widget, LiveViewSink* sink);

    void LayoutChildren();

    // Processed is enabled when this answers true (the event side: the list has the focus and
    // its selected row is not handled); Unlock when the live view's camera selection names a
    // door.
    void setProcessedQuery(std::function<bool()> query) { m_processedQuery = std::move(query); }
    void RefreshActionButtons();

    // Where no tray can bring the window back, closing minimises it instead of hiding it.
    void setCloseMinimizes(bool minimize) { m_closeMinimizes = minimize; }
    bool closeMinimizes() const { return m_closeMinimizes; }

    // The event list's context menu. Intercom, speaker, microphone and unlock are greyed when no
    // row is selected; Processed only when the selected row is handled.
    struct EventMenuState
    {
        bool rowSelected = false;
        bool rowHandled = false;
        bool speakerOn = false;
        bool microphoneOn = false;
    };
    struct MenuItem
    {
        int command = 0; // 0: separator
        bool enabled = true;
        bool checked = false;
    };
    static QList<MenuItem> EventMenuItems(const EventMenuState& state);
    void ShowEventMenu(const QPoint& screenPos, const EventMenuState& state);
    // What choosing an item of the event menu does (public for the event side and tests).
    void RunEventMenuCommand(int command, const EventMenuState& state);

    // The device tree's callback.
    void OnNodeRightClick(int kind, int level, int id, const QPoint& screenPos) override;
    void OnNodeSelected(int hostId, int groupId, int controllerId, int doorId, int inputId,
                        int direction, int dvrId, int camera) override;
    // Selects the tree node of a place (kind 1: controllers, 2: licence plates) with its camera.
    void SelectPath(int hostId, int kind, const CameraSelection& selection);
    bool IsCameraValid(int hostId, int groupId, int dvrId, int camera) override;
    QString GetCameraLabel(int hostId, int groupId, int dvrId, int camera) override;
    // The device tree the dialog created (null before Create or once another view replaced it).
    CDeviceTreeCtrl* deviceTree() const;

    void ShowAbout();

    // What the operator must know while it lasts: the title (and the tray tip) names each.
    enum Warning
    {
        AlarmSilent = 0x1,   // no audio output: the alarm cannot be heard
        SnapshotsFull = 0x2, // the snapshot folder is full: new pictures are lost
    };
    void SetWarning(Warning warning, bool on);
    // The texts of the warnings that hold, in the order above.
    QStringList WarningTexts() const;

public Q_SLOTS:
    void reject() override;
    // Runs a toolbar command (as if its button had been pressed).
    virtual void OnCommand(int command);

Q_SIGNALS:
    // Sent first by every command from speaker to unlock.
    void stopAlarmRequested();
    // The stop ring command (toolbar, event menu, keyboard): stops the alarm, and tells that the
    // operator has seen what the list reported.
    void stopRingRequested();
    void optionsRequested();
    void speakerToggled(bool on);
    void microphoneToggled(bool on);
    // Sent before speakerToggled(on) and microphoneToggled(on), which follow it.
    void intercomToggled(bool on);
    void processedRequested();
    void unlockRequested();
    // A node of the tree was selected: the camera selection for the live view.
    void cameraSelected(const CameraSelection& selection);
    void warningsChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void HideOrMinimize();
    void CreateToolBar();
    void ReplaceArea(int pane, QWidget*& area, QWidget* widget);
    // Tab goes from the tree to the live view to the event list.
    void UpdateTabOrder();
    void UpdateTitle();

    std::unique_ptr<ClientControl> m_control;
    std::unique_ptr<TickSource> m_ticks;
    std::unique_ptr<CConnectionManager> m_manager;
    std::unique_ptr<CAlphaImageList> m_images;
    CMyReBar* m_reBar = nullptr;
    CAlphaToolBar* m_toolBar = nullptr;
    PaneSplitter* m_panes = nullptr;
    QWidget* m_tree = nullptr;
    QPointer<CDeviceTreeCtrl> m_deviceTree;
    QWidget* m_eventList = nullptr;
    QWidget* m_liveView = nullptr;
    CHostMenu* m_hostMenu = nullptr;
    QString m_snapshotFolder;
    std::function<bool()> m_processedQuery;
    bool m_closeMinimizes = false;
    int m_warnings = 0;
};
