#include "ui/mainwindow/CTNClientTestDlg.h"

#include "connection/ConnectionManager.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/EventLoopWatch.h"
#include "platform/PerfLog.h"
#include "platform/ProgramPaths.h"
#include "platform/TickSource.h"
#include "tnclient/TnClient.h"
#include "tray/CMyReBar.h"
#include "ui/devicetree/CDeviceTreeCtrl.h"
#include "ui/hostdialog/CHostMenu.h"
#include "ui/mainwindow/CAboutDlg.h"
#include "ui/mainwindow/CAlphaImageList.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "ui/mainwindow/PaneSplitter.h"
#include "ui/mainwindow/ProgramIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QScreen>

Q_LOGGING_CATEGORY(lcMainDialog, "krnotify.ui.maindialog")

namespace {
using Style = CAlphaToolBar::Style;

// The toolbar's twelve positions: command, style, image, text and tooltip key, enabled.
const std::vector<CAlphaToolBar::Button>& ToolBarButtons()
{
    static const std::vector<CAlphaToolBar::Button> buttons = {
        {CTNClientTestDlg::CmdAddHost, Style::Button, 0, "TAV_IDD_ADDHOST_DLG", true},
        {CTNClientTestDlg::CmdOptions, Style::Button, 1, "TAV_IDD_OPTIONS_DLG", true},
        {0, Style::Separator, -1, nullptr, true},
        {CTNClientTestDlg::CmdSpeaker, Style::Check, 2, "TAV_IDS_SPEAKER", false,
         "TAV_IDS_KEY_SPEAKER"},
        {CTNClientTestDlg::CmdMicrophone, Style::Check, 3, "TAV_IDS_MIC", false, "TAV_IDS_KEY_MIC"},
        {0, Style::Separator, -1, nullptr, true},
        {CTNClientTestDlg::CmdIntercom, Style::Check, 4, "TAV_IDS_INTERCOM", false},
        {0, Style::Separator, -1, nullptr, true},
        {CTNClientTestDlg::CmdProcessed, Style::Button, 5, "TAV_IDS_PROCESSED", false,
         "TAV_IDS_KEY_PROCESSED"},
        {CTNClientTestDlg::CmdUnlock, Style::Button, 6, "TAV_IDS_UNLOCK", false,
         "TAV_IDS_KEY_UNLOCK"},
        {0, Style::Separator, -1, nullptr, true},
        {CTNClientTestDlg::CmdStopRing, Style::Button, 7, "TAV_IDS_STOP_RING", true,
         "TAV_IDS_KEY_STOP_RING"},
    };
    return buttons;
}

// Icons of images 0 to 7, in image order.
constexpr int kToolBarIcons[] = {ProgramIcons::AddHost,  ProgramIcons::Options,
                                 ProgramIcons::Speaker,  ProgramIcons::Microphone,
                                 ProgramIcons::Intercom, ProgramIcons::Processed,
                                 ProgramIcons::Unlock,   ProgramIcons::StopRing};

QString KeyOfMenuCommand(int command)
{
    switch (command) {
    case CTNClientTestDlg::CmdStopRing:
        return QStringLiteral("TAV_IDS_STOP_RING");
    case CTNClientTestDlg::CmdIntercom:
        return QStringLiteral("TAV_IDS_INTERCOM");
    case CTNClientTestDlg::CmdSpeaker:
        return QStringLiteral("TAV_IDS_SPEAKER");
    case CTNClientTestDlg::CmdMicrophone:
        return QStringLiteral("TAV_IDS_MIC");
    case CTNClientTestDlg::CmdProcessed:
        return QStringLiteral("TAV_IDS_PROCESSED");
    case CTNClientTestDlg::CmdUnlock:
        return QStringLiteral("TAV_IDS_UNLOCK");
    default:
        return {};
    }
}

// An empty sunken area that holds a view's place until the view is plugged in.
QFrame* NewPlaceholder(const QString& name, const QColor& background, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, background);
    frame->setPalette(palette);
    return frame;
}
} // namespace

CTNClientTestDlg::CTNClientTestDlg(QWidget* parent)
    : CTNClientTestDlg(std::make_unique<CTnClient>(), std::make_unique<SystemTickSource>(), parent)
{
}

CTNClientTestDlg::CTNClientTestDlg(std::unique_ptr<ClientControl> control,
                                   std::unique_ptr<TickSource> ticks, QWidget* parent)
    : QDialog(parent), m_control(std::move(control)), m_ticks(std::move(ticks)),
      m_images(std::make_unique<CAlphaImageList>())
{
    if (!m_ticks)
        m_ticks = std::make_unique<SystemTickSource>();
    m_manager = std::make_unique<CConnectionManager>(*m_control, *m_ticks);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setMinimumSize(kMinWidth, kMinHeight);
    m_snapshotFolder = ProgramPaths::snapshotRoot();
    m_hostMenu = new CHostMenu(*m_manager, this);
}

CTNClientTestDlg::~CTNClientTestDlg()
{
    // Saves the host list and releases every host while the views still exist.
    m_manager->Stop();
    // The tree no longer asks this object (and through it the core, going next) anything.
    if (m_deviceTree)
        m_deviceTree->setCallback(nullptr);
    m_manager.reset();
    m_control.reset();
    // The views and the event and video sides go before the snapshot folder: their downloads
    // and camera captures end with them, and none may write into the folder while it is being
    // removed (a file created then would keep it).
    while (!children().isEmpty())
        delete children().constFirst();
    if (!m_snapshotFolder.isEmpty() && !ProgramPaths::removeSnapshotRoot())
        qCWarning(lcMainDialog) << "snapshot folder not removed:" << m_snapshotFolder;
}

bool CTNClientTestDlg::Create()
{
    if (!m_manager->Create()) {
        qCCritical(lcMainDialog) << "the client control cannot be initialised";
        return false;
    }
    const CStringTable& texts = CStringTable::Instance();
    if (texts.RightToLeft())
        setLayoutDirection(Qt::RightToLeft);

    m_panes = new PaneSplitter(kTreeWidth, kListWidth, this);
    m_panes->setWidthsFile(ProgramPaths::optionsFile());
    m_deviceTree = new CDeviceTreeCtrl(this, this);
    m_deviceTree->setObjectName(QStringLiteral("deviceTree"));
    setDeviceTree(m_deviceTree, m_deviceTree);
    // Views not plugged in yet keep their place as empty areas.
    ReplaceArea(
        PaneSplitter::List, m_eventList,
        NewPlaceholder(QStringLiteral("eventListArea"), palette().color(QPalette::Base), this));
    ReplaceArea(PaneSplitter::LiveView, m_liveView,
                NewPlaceholder(QStringLiteral("LiveView"), Qt::black, this));
    CreateToolBar();

    setWindowIcon(ProgramIcons::Icon(ProgramIcons::Application));
    UpdateTitle();
    connect(m_manager.get(), &CConnectionManager::redrawRequested, this, [this] {
        m_tree->update();
        m_eventList->update();
    });

    if (lcPerf().isDebugEnabled()) {
        new EventLoopWatch([this] { return m_manager->LastHandledMessage(); }, this);
        new PerfCounterLog(this);
    }
    m_manager->Start();

    resize(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    LayoutChildren();
    m_panes->ApplyWidths();
    return true;
}

void CTNClientTestDlg::CreateToolBar()
{
    m_reBar = new CMyReBar(this);
    m_reBar->setObjectName(QStringLiteral("reBar"));
    m_toolBar = new CAlphaToolBar(m_reBar);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_images->CreateLists();
    for (int icon : kToolBarIcons)
        m_images->AddIcon(ProgramIcons::Path(icon));
    m_toolBar->SetButtons(ToolBarButtons());
    m_toolBar->SetSizes(QSize(68, 60),
                        QSize(CAlphaImageList::kImageSize, CAlphaImageList::kImageSize));
    m_images->AttachToToolBar(*m_toolBar);
    m_reBar->AddBar(m_toolBar);
    connect(m_toolBar, &CAlphaToolBar::commandTriggered, this, &CTNClientTestDlg::OnCommand);
}

void CTNClientTestDlg::ReplaceArea(int pane, QWidget*& area, QWidget* widget)
{
    if (!widget || widget == area)
        return;
    m_panes->SetPane(PaneSplitter::Pane(pane), widget);
    area = widget;
    UpdateTabOrder();
    LayoutChildren();
}

void CTNClientTestDlg::UpdateTabOrder()
{
    if (!m_tree || !m_liveView || !m_eventList)
        return;
    // The live view takes the keyboard focus on its way, so the window works without a mouse.
    if (m_liveView->focusPolicy() == Qt::NoFocus)
        m_liveView->setFocusPolicy(Qt::TabFocus);
    setTabOrder(m_tree, m_liveView);
    setTabOrder(m_liveView, m_eventList);
}

void CTNClientTestDlg::setDeviceTree(QWidget* widget, DeviceTreeSink* sink)
{
    ReplaceArea(PaneSplitter::Tree, m_tree, widget);
    if (sink)
        m_manager->setDeviceTree(sink);
}

void CTNClientTestDlg::setEventList(QWidget* widget, EventListSink* sink)
{
    ReplaceArea(PaneSplitter::List, m_eventList, widget);
    if (sink)
        m_manager->setEventList(sink);
}

void CTNClientTestDlg::setLiveView(QWidget* widget, LiveViewSink* sink)
{
    ReplaceArea(PaneSplitter::LiveView, m_liveView, widget);
    if (sink)
        m_manager->setLiveView(sink);
}

void CTNClientTestDlg::LayoutChildren()
{
    if (!m_reBar)
        return;
    // Client rectangle (L, T, R, B); R and B are the width and height, as on the original.
    const int L = 0, T = 0, R = width(), B = height();
    const int h = m_reBar->barHeight();
    m_reBar->setGeometry(L + 1, T + 2, R - 2 * L - 1, h);
    // The splitter spans the client area under the bar; its margins put the panes where the
    // fixed layout had them (tree at L + 4, live view at L + 248, list ending 4 from the right,
    // all from T + h + 6 to 4 above the bottom), in the dialog's own coordinates.
    m_panes->setGeometry(L, T, R - L, B - T);
    m_panes->setContentsMargins(4, h + 6, 4, 4);
    m_panes->lower(); // under the bar, which it overlaps only with its empty margin
}

void CTNClientTestDlg::RefreshActionButtons()
{
    if (!m_toolBar)
        return;
    m_toolBar->setCommandEnabled(CmdProcessed, m_processedQuery && m_processedQuery());
    m_toolBar->setCommandEnabled(CmdUnlock, m_manager->liveView().cameraSelection().doorId >= 0);
}

void CTNClientTestDlg::OnCommand(int command)
{
    switch (command) {
    case CmdAddHost:
        m_hostMenu->ShowHostDialog(nullptr);
        return;
    case CmdOptions:
        Q_EMIT optionsRequested();
        return;
    case CmdSpeaker:
    case CmdMicrophone:
    case CmdIntercom:
    case CmdProcessed:
    case CmdUnlock:
        break;
    case CmdStopRing:
        Q_EMIT stopRingRequested();
        return;
    default:
        return;
    }
    Q_EMIT stopAlarmRequested();
    switch (command) {
    case CmdSpeaker:
        Q_EMIT speakerToggled(m_toolBar->isCommandChecked(CmdSpeaker));
        break;
    case CmdMicrophone:
        Q_EMIT microphoneToggled(m_toolBar->isCommandChecked(CmdMicrophone));
        break;
    case CmdIntercom: {
        const bool on = m_toolBar->isCommandChecked(CmdIntercom);
        m_toolBar->setCommandChecked(CmdSpeaker, on);
        m_toolBar->setCommandChecked(CmdMicrophone, on);
        Q_EMIT intercomToggled(on);
        Q_EMIT speakerToggled(on);
        Q_EMIT microphoneToggled(on);
        break;
    }
    case CmdProcessed:
        Q_EMIT processedRequested();
        break;
    case CmdUnlock:
        Q_EMIT unlockRequested();
        break;
    default:
        break;
    }
}

QList<CTNClientTestDlg::MenuItem> CTNClientTestDlg::EventMenuItems(const EventMenuState& state)
{
    const bool row = state.rowSelected;
    return {
        {CmdStopRing, true, false},
        {0, true, false},
        {CmdIntercom, row, state.speakerOn && state.microphoneOn},
        {0, true, false},
        {CmdSpeaker, row, state.speakerOn},
        {CmdMicrophone, row, state.microphoneOn},
        {0, true, false},
        {CmdProcessed, !(row && state.rowHandled), false},
        // Apart, so that a slip of the pointer does not open a door instead.
        {0, true, false},
        {CmdUnlock, row, false},
    };
}

void CTNClientTestDlg::ShowEventMenu(const QPoint& screenPos, const EventMenuState& state)
{
    QMenu menu(this);
    const CStringTable& texts = CStringTable::Instance();
    for (const MenuItem& item : EventMenuItems(state)) {
        if (item.command == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* act = menu.addAction(texts.GetText(KeyOfMenuCommand(item.command)));
        act->setData(item.command);
        // Shown beside the item; the window's own shortcut runs the command.
        act->setShortcut(m_toolBar->shortcut(item.command));
        act->setShortcutVisibleInContextMenu(true);
        act->setEnabled(item.enabled);
        act->setCheckable(item.checked);
        act->setChecked(item.checked);
    }
    if (const QAction* chosen = menu.exec(screenPos))
        RunEventMenuCommand(chosen->data().toInt(), state);
}

void CTNClientTestDlg::RunEventMenuCommand(int command, const EventMenuState& state)
{
    switch (command) {
    case CmdStopRing:
        Q_EMIT stopRingRequested();
        return;
    case CmdIntercom:
        m_toolBar->setCommandChecked(CmdIntercom, !(state.speakerOn && state.microphoneOn));
        break;
    case CmdSpeaker:
        m_toolBar->setCommandChecked(CmdSpeaker, !state.speakerOn);
        break;
    case CmdMicrophone:
        m_toolBar->setCommandChecked(CmdMicrophone, !state.microphoneOn);
        break;
    case CmdProcessed:
    case CmdUnlock:
        break;
    default:
        return;
    }
    OnCommand(command);
}

void CTNClientTestDlg::OnNodeRightClick(int /*kind*/, int level, int id, const QPoint& screenPos)
{
    if (level == 0 || level == -1)
        m_hostMenu->Show(level, id, screenPos);
}

void CTNClientTestDlg::OnNodeSelected(int hostId, int groupId, int controllerId, int doorId,
                                      int inputId, int direction, int dvrId, int camera)
{
    Q_EMIT cameraSelected(
        CameraSelection{hostId, groupId, controllerId, doorId, inputId, direction, dvrId, camera});
}

CDeviceTreeCtrl* CTNClientTestDlg::deviceTree() const
{
    return m_deviceTree;
}

void CTNClientTestDlg::SelectPath(int hostId, int kind, const CameraSelection& selection)
{
    if (m_deviceTree)
        m_deviceTree->SelectPath(hostId, kind, selection.groupId, selection.controllerId,
                                 selection.doorId, selection.inputId, selection.direction,
                                 selection.dvrId, selection.camera);
}

bool CTNClientTestDlg::IsCameraValid(int hostId, int /*groupId*/, int dvrId, int camera)
{
    const CKRHost* host = m_manager->FindHostById(hostId);
    const CDvr* dvr = host ? host->siteConfig.FindDvr(dvrId) : nullptr;
    return dvr && camera >= 0 && camera < dvr->CameraCount();
}

QString CTNClientTestDlg::GetCameraLabel(int hostId, int /*groupId*/, int dvrId, int camera)
{
    const CKRHost* host = m_manager->FindHostById(hostId);
    const CDvr* dvr = host ? host->siteConfig.FindDvr(dvrId) : nullptr;
    if (!dvr)
        return {};
    return dvr->name + QLatin1String(", ") + dvr->CameraName(camera);
}

void CTNClientTestDlg::SetWarning(Warning warning, bool on)
{
    const int warnings = on ? m_warnings | warning : m_warnings & ~warning;
    if (warnings == m_warnings)
        return;
    m_warnings = warnings;
    UpdateTitle();
    Q_EMIT warningsChanged();
}

QStringList CTNClientTestDlg::WarningTexts() const
{
    static const struct
    {
        Warning warning;
        const char* key;
    } kWarnings[] = {{AlarmSilent, "TAV_IDS_ALARM_SILENT"},
                     {SnapshotsFull, "TAV_IDS_SNAPSHOTS_FULL"}};
    QStringList texts;
    for (const auto& entry : kWarnings) {
        if (m_warnings & entry.warning)
            texts << CStringTable::Instance().GetText(QLatin1String(entry.key));
    }
    return texts;
}

void CTNClientTestDlg::UpdateTitle()
{
    const CStringTable& texts = CStringTable::Instance();
    const QString name = texts.GetText(QStringLiteral("TAV_IDS_APP_NAME"));
    const QStringList warnings = WarningTexts();
    setWindowTitle(warnings.isEmpty() ? name
                                      : texts.GetText(QStringLiteral("TAV_IDS_APP_NAME_WARNING"),
                                                      {name, warnings.join(QStringLiteral("; "))}));
}

void CTNClientTestDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CTNClientTestDlg::reject()
{
    HideOrMinimize();
}

void CTNClientTestDlg::HideOrMinimize()
{
    if (m_closeMinimizes)
        showMinimized();
    else
        hide();
}

void CTNClientTestDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutChildren();
}

void CTNClientTestDlg::closeEvent(QCloseEvent* event)
{
    // The window lives until the program ends; closing it only takes it out of sight.
    event->ignore();
    HideOrMinimize();
}

void CTNClientTestDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // The about item lives here: a Qt window has no system menu to append it to.
    QMenu menu(this);
    menu.addAction(CStringTable::Instance().GetText(QStringLiteral("TAV_ID_APP_ABOUT")), this,
                   &CTNClientTestDlg::ShowAbout);
    menu.exec(event->globalPos());
}
