#include "FakeClientControl.h"
#include "ScriptedSnapshotHost.h"
#include "alerts/COptions.h"
#include "common/AlarmPlayerRecorder.h"
#include "common/BlockedLookup.h"
#include "connection/ConnectionManager.h"
#include "connection/SnapshotDownload.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "events/SnapshotFiles.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"
#include "ui/eventlist/CEventListCtrl.h"
#include "ui/eventlist/CEventPopup.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/eventlist/ShownEventsModel.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr long kConnection = 7;

struct LiveViewStub : EventLiveView
{
    CameraSelection shown;
    bool speaker = false;
    bool microphone = false;
    int audioSwitches = 0;
    CameraSelection cameraSelection() const override { return shown; }
    void SelectCamera(const CameraSelection& s) override { shown = s; }
    void SelectPath(int, int, const CameraSelection&) override {}
    bool SetSpeaker(bool) override { return ++audioSwitches, false; }
    bool SetMicrophone(bool) override { return ++audioSwitches, false; }
    bool speakerOn() const override { return speaker; }
    bool microphoneOn() const override { return microphone; }
    bool isTalking() const override { return false; }
};

// The main dialog on a fake control with the event side attached and one connected host:
// controller 1 "Lobby" (group 3) with door 0 "Front".
struct Fixture
{
    QTemporaryDir dir;
    FakeClientControl* control = new FakeClientControl;
    std::unique_ptr<CTNClientTestDlg> dlg;
    LiveViewStub live;
    PlayerRecorder player;
    CEventSide* side = nullptr;

    Fixture()
    {
        qputenv("KRNOTIFY_SNAPSHOT_DIR", dir.filePath(QStringLiteral("pictures")).toUtf8());
        dlg = std::make_unique<CTNClientTestDlg>(std::unique_ptr<ClientControl>(control),
                                                 std::make_unique<ManualTickSource>(1000));
        dlg->manager().setHostListPath(dir.filePath(QStringLiteral("KRNotifyHosts")));
        dlg->Create();
        side = new CEventSide(*dlg, live, nullptr, &player);
        side->options().invokeAlarm = 1;
        side->options().duration = 10;

        auto host = std::make_unique<CKRHost>(1);
        host->connected = 1;
        host->connectionId = kConnection;
        host->serverVersion = 0x4030000;
        host->privilegeMask = CKRHost::kDoorPrivilege;
        host->executeRights[3] = 1;
        auto controller = std::make_unique<CController>(1);
        controller->deviceGroupId = 3;
        controller->name = QStringLiteral("Lobby");
        auto door = std::make_unique<CDoor>(0, 1);
        door->name = QStringLiteral("Front");
        door->status = CDoor::kOperableStatusBit;
        controller->doors[0] = std::move(door);
        controller->FindInput(5)->name = QStringLiteral("Motion");
        host->siteConfig.controllers[1] = std::move(controller);
        dlg->manager().AddHost(std::move(host));
        control->sent.clear();
    }

    void notify(int logId, double utc = 45000.25)
    {
        control->receive(QStringLiteral("KRNOTIFY_EVENT"), kConnection,
                         {{"L_TYPE", 2},
                          {"L_ID", logId},
                          {"C_ID", 1},
                          {"D_ID", 0},
                          {"I_ID", -1},
                          {"DIRECTION", 1},
                          {"T_LOCAL", utc},
                          {"T_UTC", utc}});
    }
    // Selects a row as the list shows it (a shown list follows the model at its next frame).
    void select(int row)
    {
        CEventListCtrl& list = *side->eventList();
        list.shownEvents()->Publish();
        list.setFocus();
        list.setCurrentIndex(list.model()->index(row, 0));
    }
    bool processedEnabled()
    {
        return dlg->toolBar().isCommandEnabled(CTNClientTestDlg::CmdProcessed);
    }
    // A picture listed on the first row and written, as a capture would.
    QString capturedPicture(const QString& name)
    {
        const QString path = dlg->snapshotFolder() + QLatin1Char('/') + name;
        side->model().AddSnapshotPath(side->model().eventAt(0), path);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(100, 'x'));
        file.close();
        side->PictureCaptured(path, true);
        return path;
    }
};

} // namespace

class tst_EventSide : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceText_data();
    void deviceText();
    void alertBringsTheHiddenWindow();
    void silentAlarmIsShownAndTheAlertStillHappens();
    void toolbarCommandsActOnTheSelectedRow();
    void unlockAsksFirst_data();
    void unlockAsksFirst();
    void eventMenuState();
    void popupFollowsThePointer();
    void hostConfirmationEndsTheRow();
    void teardownInEitherOrder_data();
    void teardownInEitherOrder();
    void teardownDoesNotWaitForTheNetwork();
    void popupKeepsItsPicturesWhileOpen();
    void titleSaysWhenTheSnapshotFolderIsFull();
};

void tst_EventSide::deviceText_data()
{
    QTest::addColumn<int>("hostId");
    QTest::addColumn<int>("controllerId");
    QTest::addColumn<int>("doorId");
    QTest::addColumn<int>("inputId");
    QTest::addColumn<QString>("text");
    QTest::newRow("door") << 1 << 1 << 0 << -1 << "Front . Lobby";
    QTest::newRow("input") << 1 << 1 << 9 << 5 << "Motion . Lobby";
    QTest::newRow("controller only") << 1 << 1 << 9 << 60 << "Lobby";
    QTest::newRow("unknown controller") << 1 << 4 << 0 << -1 << "N/A";
    QTest::newRow("host gone") << 2 << 1 << 0 << -1 << "N/A";
}

void tst_EventSide::deviceText()
{
    QFETCH(int, hostId);
    QFETCH(int, controllerId);
    QFETCH(int, doorId);
    QFETCH(int, inputId);
    QFETCH(QString, text);
    Fixture f;
    QCOMPARE(f.side->GetEventDeviceText(hostId, controllerId, doorId, inputId), text);
}

void tst_EventSide::alertBringsTheHiddenWindow()
{
    Fixture f;
    QVERIFY(!f.dlg->isVisible()); // in the tray
    f.notify(7);
    QCOMPARE(f.side->model().rowCount(), 1);
    QVERIFY(f.dlg->isVisible());
    QVERIFY(f.dlg->isMinimized());
    // The hidden window selects the new row, so its door camera is shown.
    QCOMPARE(f.side->selectedEvent(), f.side->model().eventAt(0));
    QCOMPARE(f.live.shown.doorId, 0);
    QCOMPARE(f.live.shown.direction, 1);
    QCOMPARE(f.player.log, (QStringList{"stop", "loop Buzzer.wav"}));
}

void tst_EventSide::silentAlarmIsShownAndTheAlertStillHappens()
{
    Fixture f;
    const CStringTable& texts = CStringTable::Instance();
    f.side->options().autoPopup = 1;
    f.player.outputOpens = false;
    f.notify(7);
    QVERIFY2(f.dlg->windowTitle().contains(texts.GetText(QStringLiteral("TAV_IDS_ALARM_SILENT"))),
             qPrintable(f.dlg->windowTitle()));
    // The window comes forward and the alarm is started all the same.
    QVERIFY(f.dlg->isVisible());
    QVERIFY(!f.dlg->isMinimized());
    QCOMPARE(f.player.log, (QStringList{"stop", "loop Buzzer.wav"}));

    // The next alarm tries the output again; once it opens, the warning goes.
    f.player.outputOpens = true;
    f.notify(8);
    QCOMPARE(f.player.log.size(), 4);
    QCOMPARE(f.dlg->windowTitle(), texts.GetText(QStringLiteral("TAV_IDS_APP_NAME")));
}

void tst_EventSide::toolbarCommandsActOnTheSelectedRow()
{
    Fixture f;
    f.dlg->show();
    f.notify(7);
    f.select(0);
    QVERIFY(f.processedEnabled());

    // Intercom asks the host to mark the event as being handled; the audio is the live view's.
    f.player.log.clear();
    f.dlg->toolBar().setCommandChecked(CTNClientTestDlg::CmdIntercom, true);
    f.dlg->OnCommand(CTNClientTestDlg::CmdIntercom);
    QCOMPARE(f.control->sentCommands(), QStringList{"KRNOTIFY_NOTIFY_EVENT_HANDLING 7"});
    QCOMPARE(f.live.audioSwitches, 0);
    QCOMPARE(f.player.log.value(0), QStringLiteral("stop"));

    f.control->sent.clear();
    f.dlg->OnCommand(CTNClientTestDlg::CmdProcessed);
    QCOMPARE(f.control->sentCommands(),
             (QStringList{"DOOR_OPERATIONS 7", "KRNOTIFY_NOTIFY_EVENT_HANDLED 7"}));
    QCOMPARE(f.control->sent[0].fields.value("DATA").toInt(), 258);
    QCOMPARE(f.side->model().eventAt(0)->state, qint32(EVENT::New)); // the host decides

    // Unlock opens the door shown in the live view, then processes the row (here without
    // asking first: the operator switched the question off).
    f.side->options().askBeforeUnlock = 0;
    f.control->sent.clear();
    f.live.shown = CameraSelection{1, 3, 1, 0, -1, 1, -1, -1};
    f.dlg->OnCommand(CTNClientTestDlg::CmdUnlock);
    QCOMPARE(f.control->sentCommands(), (QStringList{"DOOR_OPERATIONS 7", "DOOR_OPERATIONS 7",
                                                     "KRNOTIFY_NOTIFY_EVENT_HANDLED 7"}));
    QCOMPARE(f.control->sent[0].fields.value("CONTROL_CODE").toInt(), 22);

    // The event menu runs the same commands; stop ring sends nothing.
    f.control->sent.clear();
    f.player.log.clear();
    f.dlg->RunEventMenuCommand(CTNClientTestDlg::CmdStopRing, f.side->MenuState());
    QCOMPARE(f.player.log, QStringList{"stop"});
    f.dlg->RunEventMenuCommand(CTNClientTestDlg::CmdProcessed, f.side->MenuState());
    QCOMPARE(f.control->sentCommands(),
             (QStringList{"DOOR_OPERATIONS 7", "KRNOTIFY_NOTIFY_EVENT_HANDLED 7"}));
}

void tst_EventSide::unlockAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("unlocks");
    QTest::newRow("escape") << "escape" << false;
    QTest::newRow("enter takes the default, cancel") << "enter" << false;
    QTest::newRow("unlock") << "unlock" << true;
}

void tst_EventSide::unlockAsksFirst()
{
    QFETCH(QString, answer);
    QFETCH(bool, unlocks);
    Fixture f;
    f.dlg->manager().FindHostById(1)->name = QStringLiteral("Demo Site");
    f.notify(7);
    f.select(0);
    f.live.shown = CameraSelection{1, 3, 1, 0, -1, 1, -1, -1};
    QVERIFY(f.side->options().askBeforeUnlock); // on unless the operator switches it off
    f.control->sent.clear();

    QString question;
    size_t sentWhileAsking = 99;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        question = box->text();
        sentWhileAsking = f.control->sent.size();
        QCOMPARE(box->defaultButton(), box->findChild<QPushButton*>(QStringLiteral("cancel")));
        if (answer == "escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (answer == "enter")
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->findChild<QPushButton*>(QStringLiteral("unlock"))->click();
    });
    f.dlg->OnCommand(CTNClientTestDlg::CmdUnlock);
    QCOMPARE(question, CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_CONFIRM_UNLOCK"),
                                                        {"Front", "Lobby", "Demo Site"}));
    QVERIFY(question.contains(QLatin1String("Front")));
    QCOMPARE(sentWhileAsking, size_t(0));
    const QStringList unlockAndProcessed{"DOOR_OPERATIONS 7", "DOOR_OPERATIONS 7",
                                         "KRNOTIFY_NOTIFY_EVENT_HANDLED 7"};
    QCOMPARE(f.control->sentCommands(), unlocks ? unlockAndProcessed : QStringList());
}

void tst_EventSide::eventMenuState()
{
    Fixture f;
    f.dlg->show();
    auto state = f.side->MenuState();
    QVERIFY(!state.rowSelected && !state.rowHandled);
    f.notify(7);
    f.select(0);
    f.live.speaker = true;
    state = f.side->MenuState();
    QVERIFY(state.rowSelected && !state.rowHandled && state.speakerOn && !state.microphoneOn);
    f.side->model().eventAt(0)->state = EVENT::Handled;
    QVERIFY(f.side->MenuState().rowHandled);
}

void tst_EventSide::popupFollowsThePointer()
{
    Fixture f;
    f.dlg->show();
    f.notify(7);
    CEventListCtrl& list = *f.side->eventList();
    list.shownEvents()->Publish();
    const QRect row = list.visualRect(list.model()->index(0, 0));
    const QString text = list.PopupTextAt(list.viewport()->mapToGlobal(row.center()));
    QVERIFY(text.startsWith(QStringLiteral(" <h1>N/A</h1><br><h2> </h2><br> Front . Lobby<br> ")));
    // Below the last row: no popup.
    QCOMPARE(list.PopupTextAt(list.viewport()->mapToGlobal(row.bottomLeft() + QPoint(5, 20))),
             QString());
}

void tst_EventSide::hostConfirmationEndsTheRow()
{
    Fixture f;
    f.dlg->show();
    f.notify(7);
    f.select(0);
    QVERIFY(f.processedEnabled());
    f.player.log.clear();
    f.control->receive(QStringLiteral("KRNOTIFY_EVENT_HANDLED"), kConnection,
                       {{"L_TYPE", 2}, {"L_ID", 7}});
    QCOMPARE(f.side->model().eventAt(0)->state, qint32(EVENT::Handled));
    QCOMPARE(f.player.log, QStringList{"stop"});
    QVERIFY(!f.processedEnabled());
}

void tst_EventSide::teardownInEitherOrder_data()
{
    QTest::addColumn<bool>("listFirst");
    QTest::newRow("side first") << false;
    QTest::newRow("list first") << true;
}

void tst_EventSide::teardownInEitherOrder()
{
    QFETCH(bool, listFirst);
    Fixture f;
    f.dlg->show();
    f.notify(7);
    f.select(0);
    const QPointer<CEventListCtrl> list = f.side->eventList();
    const QPointer<CEventSide> side = f.side;
    if (listFirst) {
        // Qt deletes children in the order they were added: move the side behind the list.
        side->setParent(nullptr);
        side->setParent(f.dlg.get());
    }
    f.dlg.reset();
    QVERIFY(!list && !side);
}

void tst_EventSide::teardownDoesNotWaitForTheNetwork()
{
    Fixture f;
    const QString folder = f.dlg->snapshotFolder();
    BlockedLookup lookup;
    ScriptedSnapshotHost silent;
    silent.answer = ScriptedSnapshotHost::Answer::Silent;
    CSnapshotDownloader& downloads = f.side->downloads();
    downloads.setNameLookup(lookup.function());
    SnapshotRequest request;
    request.hostId = 1;
    request.address = QStringLiteral("door.example");
    request.port = 80;
    request.filePath = folder + QStringLiteral("/a.jpg");
    downloads.Start(request);
    request.hostId = 2;
    request.address = QStringLiteral("127.0.0.1");
    request.port = silent.port();
    request.filePath = folder + QStringLiteral("/b.jpg");
    downloads.Start(request);
    QTRY_VERIFY(lookup.entered() && silent.received.size() == 2);

    f.dlg.reset();
    QVERIFY(!lookup.returned()); // the name server was not waited for
    QVERIFY(!QFileInfo::exists(folder));
}

void tst_EventSide::popupKeepsItsPicturesWhileOpen()
{
    Fixture f;
    f.dlg->show();
    f.notify(7);
    const QString picture = f.capturedPicture(QStringLiteral("a.jpg"));
    CEventListCtrl& list = *f.side->eventList();
    list.shownEvents()->Publish(); // a shown list follows the model at its next frame
    CEventPopup& popup = *list.popup();
    popup.PointerMoved(
        list.viewport()->mapToGlobal(list.visualRect(list.model()->index(0, 0)).center()));
    popup.ShowNow();
    QVERIFY(popup.isVisible());

    f.side->model().RemoveHostEvents(1);
    QVERIFY(QFile::exists(picture));
    popup.hide();
    QVERIFY(!QFile::exists(picture));
}

void tst_EventSide::titleSaysWhenTheSnapshotFolderIsFull()
{
    Fixture f;
    const CStringTable& texts = CStringTable::Instance();
    f.side->pictureFiles().setFreeSpaceProbe([](const QString&) { return qint64(0); });
    f.side->PictureCaptured(f.dlg->snapshotFolder() + QStringLiteral("/lost.jpg"), false);
    QVERIFY(f.dlg->windowTitle().contains(texts.GetText(QStringLiteral("TAV_IDS_SNAPSHOTS_FULL"))));

    f.notify(7);
    f.capturedPicture(QStringLiteral("a.jpg"));
    QCOMPARE(f.dlg->windowTitle(), texts.GetText(QStringLiteral("TAV_IDS_APP_NAME")));
}

QTEST_MAIN(tst_EventSide)
#include "tst_EventSide.moc"
