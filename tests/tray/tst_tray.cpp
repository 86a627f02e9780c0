// The tray frame: the icon and tip of each connection state, the exit menu, and where the main
// dialog goes with and without a system tray.
#include "../mainwindow/DialogFixture.h"

#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "model/HostStatus.h"
#include "model/OleDateTime.h"
#include "tray/CMainWindow.h"
#include "ui/mainwindow/ProgramIcons.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

QString Text(const char* key)
{
    return CStringTable::Instance().GetText(QString::fromLatin1(key));
}

QImage Picture(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

// A frame over a fake-control dialog, created.
struct FrameFixture
{
    DialogFixture parts{false};
    std::unique_ptr<CMainWindow> frame;
    FakeClientControl* control = parts.control;

    FrameFixture(bool startMinimized, bool trayAvailable)
    {
        frame =
            std::make_unique<CMainWindow>(std::move(parts.dialog), startMinimized, trayAvailable);
        QVERIFY(frame->Create());
    }
    CTNClientTestDlg& dialog() { return frame->dialog(); }
    CConnectionManager& manager() { return dialog().manager(); }

    CKRHost& addHost(int id)
    {
        auto host = std::make_unique<CKRHost>(id);
        host->address = QStringLiteral("10.0.0.%1").arg(id);
        CKRHost* raw = host.get();
        manager().AddHost(std::move(host));
        return *raw;
    }
    void connect(CKRHost& host)
    {
        manager().TryConnect(host);
        Q_EMIT control->OnConnected(host.connectionId);
    }
};

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void startsDisconnected();
    void stateShowsIconAndTip_data();
    void stateShowsIconAndTip();
    void followsTheHostConnections();
    void tipIsCutTo127Characters();
    void tipNamesHostsThatAreDownAndASilentAlarm();
    void exitItemEndsTheFrame();
    void dialogPlacement_data();
    void dialogPlacement();
    void doubleClickShowsTheDialog();

private:
    QTemporaryDir m_snapshots;
};

void TestTray::initTestCase()
{
    QVERIFY(m_snapshots.isValid());
    UsePrivateSnapshotFolder(m_snapshots);
}

void TestTray::startsDisconnected()
{
    FrameFixture f(true, true);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayDisconnected));
    QCOMPARE(f.frame->trayTip(), Text("TAV_IDS_DISCONNECTED"));
    QCOMPARE(Picture(f.frame->trayIcon().icon()),
             Picture(ProgramIcons::Icon(ProgramIcons::TrayDisconnected)));
    QVERIFY(f.frame->trayIcon().isVisible());
}

void TestTray::stateShowsIconAndTip_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("tipKey");
    QTest::newRow("connected") << 0 << int(ProgramIcons::TrayConnected) << "TAV_IDS_CONNECTED";
    QTest::newRow("connecting") << 1 << int(ProgramIcons::TrayConnecting) << "TAV_IDS_CONNECTING";
    QTest::newRow("disconnected") << 2 << int(ProgramIcons::TrayDisconnected)
                                  << "TAV_IDS_DISCONNECTED";
}

void TestTray::stateShowsIconAndTip()
{
    QFETCH(int, state);
    QFETCH(int, icon);
    QFETCH(QString, tipKey);
    FrameFixture f(true, true);
    f.frame->OnTrayConnectionState(state == 2 ? 0 : 2); // start from another state
    f.frame->OnTrayConnectionState(state);
    QCOMPARE(f.frame->trayState(), state);
    QCOMPARE(f.frame->trayTip(), CStringTable::Instance().GetText(tipKey));
    const QImage expected = Picture(ProgramIcons::Icon(icon));
    QVERIFY(!expected.isNull());
    QCOMPARE(Picture(f.frame->trayIcon().icon()), expected);

    // Values outside 0..2 change nothing.
    for (int bad : {-1, 3, 0x0FBA}) {
        f.frame->OnTrayConnectionState(bad);
        QCOMPARE(f.frame->trayState(), state);
        QCOMPARE(Picture(f.frame->trayIcon().icon()), expected);
    }
}

void TestTray::followsTheHostConnections()
{
    FrameFixture f(true, true);
    CKRHost& a = f.addHost(1);
    CKRHost& b = f.addHost(2);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayDisconnected));
    f.connect(a);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayConnecting));
    f.connect(b);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayConnected));
    Q_EMIT f.control->OnClose(a.connectionId);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayConnecting));
    // Removing the only unconnected host leaves every remaining host connected.
    f.manager().RemoveHost(1);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayConnected));
    f.manager().RemoveHost(2);
    QCOMPARE(f.frame->trayState(), int(CMainWindow::TrayDisconnected));
}

void TestTray::tipIsCutTo127Characters()
{
    const QString text = QString(120, QLatin1Char('a')) + QString(80, QLatin1Char('b'));
    const QString cut = CMainWindow::CutTip(text);
    QCOMPARE(cut.size(), 127);
    QCOMPARE(cut, text.left(127));
    QCOMPARE(CMainWindow::CutTip(QStringLiteral("short")), QStringLiteral("short"));
}

void TestTray::tipNamesHostsThatAreDownAndASilentAlarm()
{
    FrameFixture f(true, true);
    const QDateTime loggedIn(QDate(2026, 12, 10), QTime(3, 57, 9));
    f.manager().setWallClock([loggedIn] { return loggedIn; });
    CKRHost& north = f.addHost(1);
    north.name = "North";
    CKRHost& south = f.addHost(2);
    south.name = "South";
    CKRHost& east = f.addHost(3);
    east.name = "East";

    f.manager().TryConnect(north);
    f.control->endReason = ClientControl::EndReason::Refused;
    Q_EMIT f.control->OnConnectFailed(north.connectionId);
    f.connect(south);
    f.control->login(south.connectionId, {{"R_RESULT", 0}});
    f.connect(east);
    f.control->endReason = ClientControl::EndReason::ClosedByHost;
    Q_EMIT f.control->OnClose(south.connectionId);

    const auto line = [](const QString& name, const char* reason, const QString& last) {
        return CStringTable::Instance().GetText("TAV_IDS_HOST_DOWN_LINE",
                                                {name, Text(reason), last});
    };
    const QString lastConnected = CStringTable::Instance().GetText(
        "TAV_IDS_HOST_LAST_CONNECTED", {COleDateTime::fromDateTime(loggedIn).toDisplayText()});
    const QStringList hostsDown = {
        Text("TAV_IDS_CONNECTING"),
        line("North", "TAV_IDS_HOST_REFUSED", Text("TAV_IDS_HOST_NEVER_CONNECTED")),
        line("South", "TAV_IDS_HOST_CONNECTION_LOST", lastConnected)};
    QCOMPARE(f.frame->trayTip().split('\n'), hostsDown);

    // A silent alarm: the tip and the window title say so, until a sound is heard again.
    f.dialog().SetWarning(CTNClientTestDlg::AlarmSilent, true);
    QCOMPARE(f.frame->trayTip().split('\n'), hostsDown + QStringList{Text("TAV_IDS_ALARM_SILENT")});
    QVERIFY(f.dialog().windowTitle().contains(Text("TAV_IDS_ALARM_SILENT")));
    f.dialog().SetWarning(CTNClientTestDlg::AlarmSilent, false);
    QCOMPARE(f.frame->trayTip().split('\n'), hostsDown);
    QCOMPARE(f.dialog().windowTitle(), Text("TAV_IDS_APP_NAME"));

    // Many hosts down: a bounded list, the rest counted.
    for (int id = 10; id < 20; ++id)
        f.addHost(id);
    const QStringList lines = f.frame->trayTip().split('\n');
    QCOMPARE(lines.size(), 1 + HostStatus::kMaxListedHosts + 1);
    QCOMPARE(lines.last(), CStringTable::Instance().GetText("TAV_IDS_HOST_DOWN_MORE", {4}));
}

void TestTray::exitItemEndsTheFrame()
{
    FrameFixture f(false, true);
    QSignalSpy closed(f.frame.get(), &CMainWindow::closed);
    QMenu& menu = f.frame->trayMenu();
    QCOMPARE(menu.actions().size(), 1);
    QAction* exit = menu.actions().first();
    QCOMPARE(exit->data().toInt(), CMainWindow::kExitCommand);
    Q_EMIT menu.aboutToShow();
    QCOMPARE(exit->text(), Text("TAV_ID_APP_EXIT"));

    // Opening and dismissing the menu changes nothing.
    Q_EMIT menu.aboutToHide();
    QCOMPARE(closed.count(), 0);
    QVERIFY(f.frame->trayIcon().isVisible());

    exit->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!f.frame->trayIcon().isVisible());
    f.frame->Close(); // a second request (signal, second instance) is harmless
    QCOMPARE(closed.count(), 1);
    f.frame->Activate(); // nothing comes back once closing
}

void TestTray::dialogPlacement_data()
{
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("iconic");
    QTest::addColumn<bool>("closeMinimizes");
    QTest::newRow("tray") << true << false << true << false << false;
    QTest::newRow("tray /minimize") << true << true << false << false << false;
    QTest::newRow("no tray") << false << false << true << false << true;
    QTest::newRow("no tray /minimize") << false << true << true << true << true;
}

void TestTray::dialogPlacement()
{
    QFETCH(bool, tray);
    QFETCH(bool, minimized);
    QFETCH(bool, visible);
    QFETCH(bool, iconic);
    QFETCH(bool, closeMinimizes);
    FrameFixture f(minimized, tray);
    QCOMPARE(f.dialog().isVisible(), visible);
    QCOMPARE(f.dialog().isMinimized(), iconic);
    QCOMPARE(f.dialog().closeMinimizes(), closeMinimizes);

    // Closing the window: hidden where a tray brings it back, minimised where none does.
    f.frame->Activate();
    QVERIFY(f.dialog().isVisible());
    QVERIFY(!f.dialog().isMinimized());
    f.dialog().close();
    QCOMPARE(f.dialog().isVisible(), !tray);
    QCOMPARE(f.dialog().isMinimized(), !tray);
    // Brought back as it was left.
    f.frame->Activate();
    QVERIFY(f.dialog().isVisible());
    QVERIFY(!f.dialog().isMinimized());
}

void TestTray::doubleClickShowsTheDialog()
{
    FrameFixture f(true, true);
    QVERIFY(!f.dialog().isVisible());
    Q_EMIT f.frame->trayIcon().activated(QSystemTrayIcon::Context);
    QVERIFY(!f.dialog().isVisible());
    Q_EMIT f.frame->trayIcon().activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(f.dialog().isVisible());
    const QSize size = f.dialog().size();
    f.dialog().hide();
    Q_EMIT f.frame->trayIcon().activated(QSystemTrayIcon::DoubleClick);
    QCOMPARE(f.dialog().size(), size);
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
