// The main dialog as the operator meets it: layout, toolbar, closing, the host dialog's port
// check and the host menu's add / edit / remove / reconnect flows against the real connection
// core (fake client control, manual clock).
#include "DialogFixture.h"

#include "connection/HostListFile.h"
#include "i18n/StringTable.h"
#include "model/CHostMap.h"
#include "model/CKRHost.h"
#include "tray/CMyReBar.h"
#include "ui/hostdialog/CHostDlg.h"
#include "ui/hostdialog/CHostMenu.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "ui/mainwindow/PaneSplitter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

QString Text(const char* key, const QList<TextArg>& args = {})
{
    return CStringTable::Instance().GetText(QString::fromLatin1(key), args);
}

// A live view whose camera selection the test sets.
struct SelectionView : LiveViewSink
{
    CameraSelection selection;
    CameraSelection cameraSelection() const override { return selection; }
};

// A host dialog whose port messages are recorded instead of shown.
class RecordingHostDlg : public CHostDlg
{
public:
    using CHostDlg::CHostDlg;
    QStringList messages;

protected:
    void ShowPortMessage(const QString& text) override { messages << text; }
};

// A host menu whose menu, host dialog and confirmation are answered by the test.
class ScriptedHostMenu : public CHostMenu
{
public:
    using CHostMenu::CHostMenu;

    int choice = 0;                        // the command chosen in the menu (0: dismissed)
    QList<int> offered;                    // the menu's items as shown (0: separator)
    std::function<void(CHostDlg&)> typeIn; // what the operator types; null: Cancel
    QString dialogTitle;                   // the host dialog's caption as shown
    QStringList dialogBoxes;               // the boxes as the dialog opened
    bool confirmAnswer = false;
    QStringList confirmations; // "title|message"

protected:
    int TrackMenu(QMenu& menu, const QPoint&) override
    {
        offered.clear();
        for (const QAction* action : menu.actions())
            offered << (action->isSeparator() ? 0 : action->data().toInt());
        return choice;
    }
    bool RunHostDialog(CHostDlg& dialog) override
    {
        dialog.show();
        dialogTitle = dialog.windowTitle();
        dialogBoxes = QStringList{dialog.hostNameEdit()->text(), dialog.addressEdit()->text(),
                                  dialog.portEdit()->text(), dialog.userNameEdit()->text(),
                                  dialog.passwordEdit()->text()};
        if (!typeIn) {
            dialog.cancelButton()->click();
            return dialog.result() == QDialog::Accepted;
        }
        typeIn(dialog);
        dialog.okButton()->click();
        return dialog.result() == QDialog::Accepted;
    }
    bool ConfirmRemove(const QString& title, const QString& message) override
    {
        confirmations << title + QLatin1Char('|') + message;
        return confirmAnswer;
    }
};

void TypeHost(CHostDlg& dialog, const QString& name, const QString& address, const QString& port,
              const QString& user, const QString& password)
{
    dialog.hostNameEdit()->setText(name);
    dialog.addressEdit()->setText(address);
    dialog.portEdit()->setText(port);
    dialog.userNameEdit()->setText(user);
    dialog.passwordEdit()->setText(password);
}

HostListEntry Entry(int id, const QString& name, const QString& address, int port)
{
    HostListEntry entry;
    entry.hostId = id;
    entry.name = name;
    entry.address = address;
    entry.port = port;
    entry.userName = QStringLiteral("operator");
    entry.password = QStringLiteral("demo");
    return entry;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void layoutKeepsTreeAndListWidths_data();
    void layoutKeepsTreeAndListWidths();
    void refusesSizesBelowMinimum();
    void pluggedViewTakesTheArea();
    void toolbarStartsWithTheSpecifiedButtons();
    void actionButtonsFollowSelection();
    void intercomSwitchesSpeakerAndMicrophone();
    void eventMenuWithoutRow();
    void closingHidesOrMinimises();
    void snapshotFolderGoesAfterTheWritersInIt();
    void paneWidthsSurviveARestart();
    void keyboardRunsTheCommands();
    void tabGoesTreeLiveViewList();

    void hostDialogPortCheck_data();
    void hostDialogPortCheck();
    void hostDialogCancelKeepsFields();
    void hostDialogShowsOutOfRangePortWithAllBoxes();

    void hostMenuItems();
    void addHostTakesNextIdAndSaves();
    void editHostAppliesReconnectsAndSaves();
    void cancelledEditChangesNothing();
    void removeHostAsksFirst();
    void reconnectHost();

private:
    QTemporaryDir m_snapshots;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_snapshots.isValid());
    UsePrivateSnapshotFolder(m_snapshots);
}

void TestMainWindow::layoutKeepsTreeAndListWidths_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("initial") << QSize(CTNClientTestDlg::kInitialWidth,
                                      CTNClientTestDlg::kInitialHeight);
    QTest::newRow("minimum") << QSize(CTNClientTestDlg::kMinWidth, CTNClientTestDlg::kMinHeight);
    QTest::newRow("large") << QSize(1920, 1000);
}

void TestMainWindow::layoutKeepsTreeAndListWidths()
{
    QFETCH(QSize, size);
    DialogFixture f;
    f.dialog->show();
    f.dialog->resize(size);
    QCOMPARE(f.dialog->size(), size);

    const int R = size.width(), B = size.height();
    const int h = f.dialog->reBar().barHeight();
    QVERIFY(h > 0);
    const int top = h + 6, height = B - 4 - top;
    QCOMPARE(f.dialog->reBar().geometry(), QRect(1, 2, R - 1, h));
    QCOMPARE(f.dialog->deviceTreeWidget()->geometry(), QRect(4, top, 240, height));
    QCOMPARE(f.dialog->liveViewWidget()->geometry(), QRect(248, top, R - 630, height));
    QCOMPARE(f.dialog->eventListWidget()->geometry(), QRect(R - 378, top, 374, height));
}

void TestMainWindow::refusesSizesBelowMinimum()
{
    DialogFixture f;
    f.dialog->show();
    QCOMPARE(f.dialog->minimumSize(), QSize(1002, 394));
    f.dialog->resize(600, 200);
    QCOMPARE(f.dialog->size(), QSize(1002, 394));
    QCOMPARE(f.dialog->liveViewWidget()->width(), 1002 - 630);
}

void TestMainWindow::pluggedViewTakesTheArea()
{
    DialogFixture f;
    f.dialog->show();
    QPointer<QWidget> placeholder = f.dialog->liveViewWidget();
    auto* view = new QWidget;
    SelectionView sink;
    f.dialog->setLiveView(view, &sink);
    QCOMPARE(f.dialog->liveViewWidget(), view);
    QVERIFY(f.dialog->isAncestorOf(view));
    QVERIFY(view->isVisible());
    f.dialog->resize(1400, 700);
    QCOMPARE(view->geometry().width(), 1400 - 630);
    QTRY_VERIFY(placeholder.isNull()); // the placeholder goes
    f.manager().setLiveView(nullptr);
}

void TestMainWindow::toolbarStartsWithTheSpecifiedButtons()
{
    DialogFixture f;
    const CAlphaToolBar& bar = f.dialog->toolBar();
    QCOMPARE(bar.positionCount(), 12);
    const QList<int> commands = {1015, 1016, 1017, 1018, 1019, 1020, 1021, 1031};
    QCOMPARE(bar.commands(), commands);
    const QList<int> enabledAtStart = {1015, 1016, 1031};
    for (int command : commands) {
        QVERIFY2(bar.isCommandEnabled(command) == enabledAtStart.contains(command),
                 qPrintable(QString::number(command)));
        QCOMPARE(bar.action(command)->isCheckable(), command >= 1017 && command <= 1019);
    }
    for (int command : commands) { // a text is made smaller to fit, never cut
        const QToolButton* tool = bar.button(command);
        QVERIFY(QFontMetrics(tool->font()).horizontalAdvance(tool->text()) <= tool->width() - 6);
    }
    QCOMPARE(bar.key(1031), QStringLiteral("TAV_IDS_STOP_RING"));
    QCOMPARE(bar.action(1031)->text(), Text("TAV_IDS_STOP_RING"));
}

void TestMainWindow::actionButtonsFollowSelection()
{
    DialogFixture f;
    SelectionView view;
    f.dialog->setLiveView(nullptr, &view);
    bool rowProcessable = false;
    f.dialog->setProcessedQuery([&] { return rowProcessable; });
    CAlphaToolBar& bar = f.dialog->toolBar();

    f.dialog->RefreshActionButtons();
    QVERIFY(!bar.isCommandEnabled(1020));
    QVERIFY(!bar.isCommandEnabled(1021));

    rowProcessable = true;
    view.selection.doorId = 0; // door 0 is a door
    f.dialog->RefreshActionButtons();
    QVERIFY(bar.isCommandEnabled(1020));
    QVERIFY(bar.isCommandEnabled(1021));

    view.selection.doorId = -1;
    rowProcessable = false;
    f.dialog->RefreshActionButtons();
    QVERIFY(!bar.isCommandEnabled(1020));
    QVERIFY(!bar.isCommandEnabled(1021));
    f.manager().setLiveView(nullptr);
}

void TestMainWindow::intercomSwitchesSpeakerAndMicrophone()
{
    DialogFixture f;
    CAlphaToolBar& bar = f.dialog->toolBar();
    QStringList order;
    connect(f.dialog.get(), &CTNClientTestDlg::stopAlarmRequested, this,
            [&] { order << QStringLiteral("stop"); });
    connect(f.dialog.get(), &CTNClientTestDlg::intercomToggled, this,
            [&](bool on) { order << QStringLiteral("intercom %1").arg(on); });
    connect(f.dialog.get(), &CTNClientTestDlg::speakerToggled, this,
            [&](bool on) { order << QStringLiteral("speaker %1").arg(on); });
    connect(f.dialog.get(), &CTNClientTestDlg::microphoneToggled, this,
            [&](bool on) { order << QStringLiteral("mic %1").arg(on); });

    bar.setCommandEnabled(1019, true);
    bar.action(1019)->trigger(); // the check button changes state before its command
    QCOMPARE(order, QStringList({"stop", "intercom 1", "speaker 1", "mic 1"}));
    QVERIFY(bar.isCommandChecked(1017));
    QVERIFY(bar.isCommandChecked(1018));

    // From the event menu while both are on: both go off.
    order.clear();
    CTNClientTestDlg::EventMenuState state;
    state.rowSelected = true;
    state.speakerOn = state.microphoneOn = true;
    f.dialog->RunEventMenuCommand(1019, state);
    QCOMPARE(order, QStringList({"stop", "intercom 0", "speaker 0", "mic 0"}));
    QVERIFY(!bar.isCommandChecked(1017));
    QVERIFY(!bar.isCommandChecked(1018));
}

void TestMainWindow::eventMenuWithoutRow()
{
    QList<int> enabled;
    for (const CTNClientTestDlg::MenuItem& item :
         CTNClientTestDlg::EventMenuItems(CTNClientTestDlg::EventMenuState{}))
        if (item.command != 0 && item.enabled)
            enabled << item.command;
    QCOMPARE(enabled, QList<int>({1031, 1020}));

    // Processed without a row only stops the alarm.
    DialogFixture f;
    QSignalSpy stop(f.dialog.get(), &CTNClientTestDlg::stopAlarmRequested);
    QSignalSpy processed(f.dialog.get(), &CTNClientTestDlg::processedRequested);
    f.dialog->RunEventMenuCommand(1020, CTNClientTestDlg::EventMenuState{});
    QCOMPARE(stop.count(), 1);
    // The request goes to the event side, which finds no selected row and sends nothing.
    QCOMPARE(processed.count(), 1);
    QVERIFY(f.control->sent.empty());
}

void TestMainWindow::closingHidesOrMinimises()
{
    DialogFixture f;
    f.dialog->show();
    QVERIFY(!f.dialog->close()); // refused: the window lives on
    QVERIFY(!f.dialog->isVisible());

    f.dialog->show();
    QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
    QVERIFY(!f.dialog->isVisible());

    // No tray to come back from: minimised, still there.
    f.dialog->setCloseMinimizes(true);
    f.dialog->show();
    f.dialog->close();
    QVERIFY(f.dialog->isVisible());
    QVERIFY(f.dialog->isMinimized());
}

namespace {
// The operator drags a splitter handle by dx pixels.
void DragHandle(PaneSplitter& panes, int handle, int dx)
{
    QSplitterHandle* grip = panes.handle(handle);
    const QPoint start(grip->width() / 2, grip->height() / 2);
    QTest::mousePress(grip, Qt::LeftButton, {}, start);
    QTest::mouseMove(grip, start + QPoint(dx, 0));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(dx, 0));
}
} // namespace

void TestMainWindow::paneWidthsSurviveARestart()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("KRNotify.ini"));
    {
        DialogFixture f;
        f.dialog->show();
        PaneSplitter& panes = f.dialog->panes();
        panes.setWidthsFile(ini);
        panes.ApplyWidths();
        QCOMPARE(panes.treeWidth(), CTNClientTestDlg::kTreeWidth);
        DragHandle(panes, PaneSplitter::LiveView, 60); // the handle right of the tree
        DragHandle(panes, PaneSplitter::List, -100);   // the handle left of the list
        QCOMPARE(panes.treeWidth(), 300);
        QCOMPARE(panes.listWidth(), 474);
        f.dialog->resize(1500, 700); // the window's growth goes to the live view
        QCOMPARE(panes.treeWidth(), 300);
        QCOMPARE(panes.listWidth(), 474);
        QVERIFY(!QFile::exists(ini)); // written a moment after the drag, or at the end
    }
    {
        DialogFixture f;
        PaneSplitter& panes = f.dialog->panes();
        panes.setWidthsFile(ini);
        panes.ApplyWidths();
        QCOMPARE(panes.treeWidth(), 300);
        QCOMPARE(panes.listWidth(), 474);
    }
    // Widths nobody would choose (a pane too narrow to use, or wider than any screen) give the
    // initial layout.
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Panes]\nTreeWidth=5\nListWidth=99999\n");
    file.close();
    DialogFixture f;
    f.dialog->panes().setWidthsFile(ini);
    f.dialog->panes().ApplyWidths();
    QCOMPARE(f.dialog->panes().treeWidth(), CTNClientTestDlg::kTreeWidth);
    QCOMPARE(f.dialog->panes().listWidth(), CTNClientTestDlg::kListWidth);
}

void TestMainWindow::keyboardRunsTheCommands()
{
    DialogFixture f;
    f.dialog->show();
    f.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.dialog.get()));
    CAlphaToolBar& bar = f.dialog->toolBar();
    QStringList ran;
    connect(f.dialog.get(), &CTNClientTestDlg::stopRingRequested, this,
            [&] { ran << "stop ring"; });
    connect(f.dialog.get(), &CTNClientTestDlg::processedRequested, this,
            [&] { ran << "processed"; });
    connect(f.dialog.get(), &CTNClientTestDlg::unlockRequested, this, [&] { ran << "unlock"; });
    connect(f.dialog.get(), &CTNClientTestDlg::speakerToggled, this,
            [&](bool on) { ran << QStringLiteral("speaker %1").arg(on); });
    connect(f.dialog.get(), &CTNClientTestDlg::microphoneToggled, this,
            [&](bool on) { ran << QStringLiteral("mic %1").arg(on); });

    // Disabled commands stay disabled from the keyboard too.
    for (Qt::Key key : {Qt::Key_F5, Qt::Key_F6, Qt::Key_F8, Qt::Key_F9})
        QTest::keyClick(f.dialog.get(), key);
    QCOMPARE(ran, QStringList{});
    for (int command : {1017, 1018, 1020, 1021})
        bar.setCommandEnabled(command, true);
    for (Qt::Key key : {Qt::Key_F2, Qt::Key_F5, Qt::Key_F6, Qt::Key_F8, Qt::Key_F9, Qt::Key_F5})
        QTest::keyClick(f.dialog.get(), key);
    QCOMPARE(ran,
             (QStringList{"stop ring", "speaker 1", "mic 1", "processed", "unlock", "speaker 0"}));
    QVERIFY(!bar.isCommandChecked(1017) && bar.isCommandChecked(1018));

    // Tooltips and the event menu name the keys.
    QCOMPARE(bar.action(1031)->toolTip(),
             CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_WITH_SHORTCUT"),
                                              {bar.action(1031)->text(), QStringLiteral("F2")}));
    QMap<int, QKeySequence> menuKeys;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (const QAction* act : menu->actions()) {
            if (!act->isSeparator()) {
                QVERIFY(act->isShortcutVisibleInContextMenu());
                menuKeys.insert(act->data().toInt(), act->shortcut());
            }
        }
        menu->close();
    });
    f.dialog->ShowEventMenu(QPoint(10, 10), CTNClientTestDlg::EventMenuState{});
    QCOMPARE(menuKeys.value(1031), QKeySequence(Qt::Key_F2));
    QCOMPARE(menuKeys.value(1020), QKeySequence(Qt::Key_F8));
    QCOMPARE(menuKeys.value(1021), QKeySequence(Qt::Key_F9));
    QCOMPARE(menuKeys.value(1019), QKeySequence()); // intercom has none
}

void TestMainWindow::tabGoesTreeLiveViewList()
{
    DialogFixture f;
    auto* list = new QListView;
    f.dialog->setEventList(list, nullptr);
    f.dialog->show();
    f.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.dialog.get()));
    f.dialog->deviceTreeWidget()->setFocus();
    QCOMPARE(QApplication::focusWidget(), f.dialog->deviceTreeWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.dialog->liveViewWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
}

void TestMainWindow::snapshotFolderGoesAfterTheWritersInIt()
{
    // A child of the dialog that writes a picture as it ends: a download or a capture that
    // finishes while the program closes.
    struct LastWriter : QObject
    {
        QString folder;
        using QObject::QObject;
        ~LastWriter() override
        {
            QDir().mkpath(folder + QStringLiteral("/20240101"));
            QFile file(folder + QStringLiteral("/20240101/last.jpg"));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    };
    DialogFixture f;
    const QString folder = f.dialog->snapshotFolder();
    QVERIFY(QFileInfo(folder).isDir());
    (new LastWriter(f.dialog.get()))->folder = folder;
    f.dialog.reset();
    QVERIFY(!QFileInfo::exists(folder));
}

void TestMainWindow::hostDialogPortCheck_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    const QString range = Text("TAV_IDS_PARSE_INT_RANGE", {1, 65535});
    QTest::newRow("0") << "0" << false << range;
    QTest::newRow("65536") << "65536" << false << range;
    QTest::newRow("ten digits") << "9999999999" << false << range;
    QTest::newRow("empty") << "" << false << "Enter an integer.";
    QTest::newRow("65535") << "65535" << true << "";
    QTest::newRow("1") << "1" << true << "";
}

void TestMainWindow::hostDialogPortCheck()
{
    QFETCH(QString, port);
    QFETCH(bool, accepted);
    QFETCH(QString, message);

    RecordingHostDlg dialog;
    dialog.show();
    QVERIFY(dialog.messages.isEmpty());
    TypeHost(dialog, "Site", "", port, "op", "pw"); // an empty address is accepted
    dialog.okButton()->click();
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.isVisible(), !accepted);
    if (accepted) {
        QVERIFY(dialog.messages.isEmpty());
        QCOMPARE(dialog.m_port, port.toInt());
        QCOMPARE(dialog.m_userName, QStringLiteral("op"));
        QCOMPARE(dialog.m_password, QStringLiteral("pw"));
        QCOMPARE(dialog.m_address, QString());
    } else {
        QCOMPARE(dialog.messages, QStringList{message});
        QCOMPARE(dialog.m_port, 9987);                     // unchanged
        QCOMPARE(dialog.m_userName, QString());            // the exchange stopped at the port
        QCOMPARE(dialog.portEdit()->selectedText(), port); // ready to be typed over
    }
}

void TestMainWindow::hostDialogCancelKeepsFields()
{
    RecordingHostDlg dialog;
    dialog.m_hostName = QStringLiteral("Old");
    dialog.m_port = 4000;
    dialog.show();
    TypeHost(dialog, "New", "10.1.1.1", "0", "u", "p");
    dialog.cancelButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.messages.isEmpty()); // nothing is checked on Cancel
    QCOMPARE(dialog.m_hostName, QStringLiteral("Old"));
    QCOMPARE(dialog.m_port, 4000);
}

void TestMainWindow::hostDialogShowsOutOfRangePortWithAllBoxes()
{
    RecordingHostDlg dialog;
    dialog.m_port = 70000;
    dialog.m_userName = QStringLiteral("keep");
    dialog.m_password = QStringLiteral("secret");
    dialog.show();
    QCOMPARE(dialog.messages, QStringList{Text("TAV_IDS_PARSE_INT_RANGE", {1, 65535})});
    // Every box is filled, so OK after fixing the port keeps the user name and password.
    QCOMPARE(dialog.userNameEdit()->text(), QStringLiteral("keep"));
    dialog.portEdit()->setText(QStringLiteral("9000"));
    dialog.okButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.m_password, QStringLiteral("secret"));
}

void TestMainWindow::hostMenuItems()
{
    QCOMPARE(CHostMenu::Items(-1), QList<int>({501}));
    QCOMPARE(CHostMenu::Items(0), QList<int>({501, 503, 502, 0, 504}));
    QVERIFY(CHostMenu::Items(1).isEmpty());

    DialogFixture f;
    ScriptedHostMenu menu(f.manager(), f.dialog.get());
    menu.Show(0, 7, QPoint());
    QCOMPARE(menu.offered, QList<int>({501, 503, 502, 0, 504}));
    menu.Show(-1, -1, QPoint());
    QCOMPARE(menu.offered, QList<int>({501}));
}

void TestMainWindow::addHostTakesNextIdAndSaves()
{
    DialogFixture f(false);
    QVERIFY(HostListFile::Save(
        f.hostListPath(), {Entry(2, "Two", "10.0.0.2", 9987), Entry(5, "Five", "10.0.0.5", 9987)}));
    QVERIFY(f.dialog->Create());
    QCOMPARE(f.manager().hosts().size(), 2);

    ScriptedHostMenu menu(f.manager(), f.dialog.get());
    menu.choice = CHostMenu::AddHost;
    menu.typeIn = [](CHostDlg& d) { TypeHost(d, "New", "127.0.0.1", "4100", "op", "pw"); };
    menu.Show(-1, -1, QPoint());
    QCOMPARE(menu.dialogTitle, Text("TAV_IDD_ADDHOST_DLG"));
    QCOMPARE(menu.dialogBoxes, QStringList({"", "", "9987", "", ""}));

    const CKRHost* added = f.manager().FindHostById(6);
    QVERIFY(added);
    QCOMPARE(added->name, QStringLiteral("New"));
    QCOMPARE(added->port, 4100);
    const std::vector<HostListEntry> saved = HostListFile::Load(f.hostListPath());
    QCOMPARE(int(saved.size()), 3);
    HostListEntry expected = Entry(6, "New", "127.0.0.1", 4100);
    expected.userName = QStringLiteral("op");
    expected.password = QStringLiteral("pw");
    QCOMPARE(saved.back(), expected);

    // The first attempt starts with the next connection pass.
    f.control->calls.clear();
    f.manager().RunConnectionPass();
    QVERIFY(f.control->calls.contains(QStringLiteral("Connect 127.0.0.1:4100")));

    // Another add goes on from there.
    menu.typeIn = [](CHostDlg& d) { TypeHost(d, "Next", "h", "1", "", ""); };
    menu.Show(0, 6, QPoint());
    QVERIFY(f.manager().FindHostById(7));
}

void TestMainWindow::editHostAppliesReconnectsAndSaves()
{
    DialogFixture f(false);
    QVERIFY(HostListFile::Save(f.hostListPath(), {Entry(3, "Three", "10.0.0.3", 9987)}));
    QVERIFY(f.dialog->Create());
    CKRHost* host = f.manager().FindHostById(3);
    QVERIFY(host);
    f.manager().RunConnectionPass();
    const int connection = host->connectionId;
    QVERIFY(connection > 0);

    ScriptedHostMenu menu(f.manager(), f.dialog.get());
    menu.choice = CHostMenu::EditHost;
    menu.typeIn = [](CHostDlg& d) {
        d.hostNameEdit()->setText(QStringLiteral("Renamed"));
        d.addressEdit()->setText(QStringLiteral("10.9.9.9"));
        d.portEdit()->setText(QStringLiteral("5000"));
    };
    f.control->calls.clear();
    menu.Show(0, 3, QPoint());
    QCOMPARE(menu.dialogTitle, Text("TAV_IDD_EDITHOST_DLG"));
    QCOMPARE(menu.dialogBoxes, QStringList({"Three", "10.0.0.3", "9987", "operator", "demo"}));
    QCOMPARE(host->name, QStringLiteral("Renamed"));
    QCOMPARE(host->address, QStringLiteral("10.9.9.9"));
    QCOMPARE(host->port, 5000);
    QVERIFY(f.control->calls.contains(QStringLiteral("Disconnect %1").arg(connection)));

    HostListEntry expected = Entry(3, "Renamed", "10.9.9.9", 5000);
    const std::vector<HostListEntry> saved = HostListFile::Load(f.hostListPath());
    QCOMPARE(int(saved.size()), 1);
    QCOMPARE(saved.front(), expected);
}

void TestMainWindow::cancelledEditChangesNothing()
{
    DialogFixture f(false);
    QVERIFY(HostListFile::Save(f.hostListPath(), {Entry(1, "One", "10.0.0.1", 9987)}));
    QVERIFY(f.dialog->Create());
    QFile::remove(f.hostListPath()); // any save would bring it back

    ScriptedHostMenu menu(f.manager(), f.dialog.get());
    menu.choice = CHostMenu::EditHost;
    f.control->calls.clear();
    menu.Show(0, 1, QPoint());
    QCOMPARE(f.manager().FindHostById(1)->name, QStringLiteral("One"));
    QVERIFY(f.control->calls.isEmpty());
    QVERIFY(!QFile::exists(f.hostListPath()));

    menu.choice = CHostMenu::AddHost; // cancelled add: no host, no id used
    menu.Show(-1, -1, QPoint());
    QCOMPARE(f.manager().hosts().size(), 1);
    QCOMPARE(f.manager().hosts().nextHostIdCounter(), 1);
}

void TestMainWindow::removeHostAsksFirst()
{
    DialogFixture f(false);
    QVERIFY(HostListFile::Save(f.hostListPath(), {Entry(1, "Lobby", "10.0.0.1", 9987),
                                                  Entry(2, "Gate", "10.0.0.2", 9987)}));
    QVERIFY(f.dialog->Create());
    f.manager().RunConnectionPass();
    const int connection = f.manager().FindHostById(2)->connectionId;

    {
        // The menu is the dialog's child: it goes before the dialog does.
        ScriptedHostMenu menu(f.manager(), f.dialog.get());
        menu.choice = CHostMenu::RemoveHost;
        menu.confirmAnswer = false;
        menu.Show(0, 2, QPoint());
        QCOMPARE(menu.confirmations,
                 QStringList{Text("TAV_IDS_CONFIRM_HOST_DELETE_TITLE") + QLatin1Char('|') +
                             Text("TAV_IDS_CONFIRM_HOST_DELETE_MSG", {QStringLiteral("Gate")})});
        QVERIFY(f.manager().FindHostById(2));

        QSignalSpy summary(&f.manager(), &CConnectionManager::connectionSummary);
        menu.confirmAnswer = true;
        f.control->calls.clear();
        menu.Show(0, 2, QPoint());
        QVERIFY(!f.manager().FindHostById(2));
        QVERIFY(f.control->calls.contains(QStringLiteral("Disconnect %1").arg(connection)));
        QCOMPARE(summary.count(), 1);
    }
    // The file follows with the next save (here: the end of the program).
    QCOMPARE(int(HostListFile::Load(f.hostListPath()).size()), 2);
    f.dialog.reset();
    const std::vector<HostListEntry> saved = HostListFile::Load(f.hostListPath());
    QCOMPARE(int(saved.size()), 1);
    QCOMPARE(saved.front().hostId, 1);
}

void TestMainWindow::reconnectHost()
{
    DialogFixture f(false);
    QVERIFY(HostListFile::Save(f.hostListPath(), {Entry(4, "Four", "10.0.0.4", 9987)}));
    QVERIFY(f.dialog->Create());
    f.manager().RunConnectionPass();
    CKRHost* host = f.manager().FindHostById(4);
    const int connection = host->connectionId;
    Q_EMIT f.control->OnConnected(connection);

    ScriptedHostMenu menu(f.manager(), f.dialog.get());
    menu.choice = CHostMenu::Reconnect;
    f.control->calls.clear();
    menu.Show(0, 4, QPoint());
    QCOMPARE(f.control->calls, QStringList{QStringLiteral("Disconnect %1").arg(connection)});
    // The control then reports the end; the next pass connects again.
    Q_EMIT f.control->OnClose(connection);
    f.control->calls.clear();
    f.manager().RunConnectionPass();
    QCOMPARE(f.control->calls, QStringList{QStringLiteral("Connect 10.0.0.4:9987")});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
