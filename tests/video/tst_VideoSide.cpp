// The video side attached to the real main dialog (fake client control, manual clock, fake
// video library): the live view takes its place in the layout, the toolbar's speaker,
// microphone and intercom buttons reach the library and follow the audio state, tree selections
// show their camera, message boxes appear over the dialog, and the door operations of a call
// go out through the event side's handlers.
#include "../mainwindow/DialogFixture.h"
#include "VideoFixture.h"

#include "common/AlarmPlayerRecorder.h"
#include "i18n/StringTable.h"
#include "model/CController.h"
#include "model/CDoor.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "video/CLiveView.h"
#include "video/CVideoSide.h"

#include <QAction>
#include <QMessageBox>
#include <QtTest>

#include <thread>

namespace {

constexpr long kConnection = 7;
using Dlg = CTNClientTestDlg;

// The dialog with the video side attached and host 1 (connected, live-video and door
// privileges) with IP camera source 10 (two cameras) and controller 5 with door 2.
struct SideFixture
{
    QTemporaryDir snapshots;
    std::unique_ptr<DialogFixture> d;
    FakeVideoLibrary* library = nullptr; // owned by the side
    CVideoSide* side = nullptr;          // owned by the dialog
    CKRHost* host = nullptr;
    CDvr* dvr = nullptr;

    explicit SideFixture(bool videoWindow = true)
    {
        UsePrivateSnapshotFolder(snapshots);
        d = std::make_unique<DialogFixture>();
        auto fake = std::make_unique<FakeVideoLibrary>();
        fake->createWindow = videoWindow;
        library = fake.get();
        side = new CVideoSide(*d->dialog, std::move(fake));

        auto created = std::make_unique<CKRHost>(1);
        created->connected = 1;
        created->connectionId = kConnection;
        created->userName = QStringLiteral("operator");
        created->privilegeMask = CKRHost::kLiveVideoPrivilege | CKRHost::kDoorPrivilege;
        created->executeRights[0] = 1;
        dvr = &AddDvr(*created, 10, 2, 2);
        auto controller = std::make_unique<CController>(5);
        controller->deviceGroupId = 0;
        auto door = std::make_unique<CDoor>(2, 5);
        door->status = CDoor::kOperableStatusBit;
        controller->doors[2] = std::move(door);
        created->siteConfig.controllers[5] = std::move(controller);
        host = created.get();
        d->manager().AddHost(std::move(created));
        // As the video-source handler does when the source is announced.
        d->manager().liveView().ConnectDvr(*host, *dvr);
    }

    CTNClientTestDlg& dialog() { return *d->dialog; }
    CAlphaToolBar& toolBar() { return d->dialog->toolBar(); }
    void press(int command) { toolBar().action(command)->trigger(); }
    bool checked(int command) { return toolBar().isCommandChecked(command); }
    bool enabled(int command) { return toolBar().isCommandEnabled(command); }
    void selectDoorCamera(int camera) { dialog().OnNodeSelected(1, 0, 5, 2, -1, 1, 10, camera); }
    QStringList sent(const QString& command) const
    {
        QStringList lines;
        for (const auto& s : d->control->sent)
            if (s.command == command)
                lines << QStringLiteral("%1 %2")
                             .arg(s.fields.value("DATA").toInt())
                             .arg(s.connectionId);
        return lines;
    }
};

} // namespace

class tst_VideoSide : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void liveViewSitsInTheLayout();
    void viewWithoutVideoWindow();
    void toolbarSwitchesAudio();
    void refusedAudioUnchecksAndShowsMessage();
    void speakerToolTipSaysWhyItIsSilent();
    void callDoorOperationsGoThroughEventSide();
    void dialogGoesWithEverythingAttached();
};

void tst_VideoSide::liveViewSitsInTheLayout()
{
    SideFixture f;
    CLiveView* view = f.side->liveView();
    QVERIFY(view);
    QCOMPARE(f.dialog().liveViewWidget(), view);
    QVERIFY(f.dialog().isAncestorOf(view));
    QVERIFY(&f.d->manager().liveView() == static_cast<LiveViewSink*>(&f.side->liveVideo()));
    QCOMPARE(f.library->calls.mid(0, 2), (QStringList{"Create", "CreateWindow"}));

    f.dialog().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog()));
    f.dialog().resize(1400, 700);
    QCoreApplication::processEvents();
    const QRect tree = f.dialog().deviceTreeWidget()->geometry();
    QCOMPARE(view->geometry(), QRect(248, tree.top(), 1400 - 630, tree.height()));
    QVERIFY(view->isVisible());
    QVERIFY(f.library->window);
    QCOMPARE(f.library->window->geometry(), view->rect());
}

void tst_VideoSide::viewWithoutVideoWindow()
{
    // The library refuses the window: the view keeps its place, empty; audio still works.
    SideFixture f(false);
    QCOMPARE(f.dialog().liveViewWidget(), f.side->liveView());
    QVERIFY(!f.side->liveView()->videoWindow());
    f.selectDoorCamera(1);
    f.press(Dlg::CmdSpeaker);
    const QStringList calls = f.library->take();
    QCOMPARE(calls.mid(calls.size() - 2),
             (QStringList{"Show 1 camera 1 host 1 values 0 0", "Listen 1 camera 1 on"}));
    QVERIFY(f.checked(Dlg::CmdSpeaker));
}

void tst_VideoSide::toolbarSwitchesAudio()
{
    SideFixture f;
    for (int command : {Dlg::CmdSpeaker, Dlg::CmdMicrophone, Dlg::CmdIntercom, Dlg::CmdUnlock})
        QVERIFY(!f.enabled(command));

    f.selectDoorCamera(1);
    for (int command : {Dlg::CmdSpeaker, Dlg::CmdMicrophone, Dlg::CmdIntercom, Dlg::CmdUnlock})
        QVERIFY(f.enabled(command));
    QCOMPARE(f.library->take().last(), QStringLiteral("Show 1 camera 1 host 1 values 0 0"));

    f.press(Dlg::CmdSpeaker);
    QCOMPARE(f.library->take(), QStringList{"Listen 1 camera 1 on"});
    QVERIFY(f.checked(Dlg::CmdSpeaker) && !f.checked(Dlg::CmdIntercom));

    // Intercom checks both and switches the microphone on as well; pressed again, both off.
    f.press(Dlg::CmdIntercom);
    QCOMPARE(f.library->take(), QStringList{"Talk 1 on callback"});
    QVERIFY(f.checked(Dlg::CmdSpeaker) && f.checked(Dlg::CmdMicrophone) &&
            f.checked(Dlg::CmdIntercom));
    QVERIFY(f.side->speakerOn() && f.side->microphoneOn() && f.side->isTalking());
    f.press(Dlg::CmdIntercom);
    QCOMPARE(f.library->take(), (QStringList{"Listen 1 camera 1 off", "Talk 1 off"}));
    QVERIFY(!f.checked(Dlg::CmdSpeaker) && !f.checked(Dlg::CmdMicrophone) &&
            !f.checked(Dlg::CmdIntercom));

    // Another camera switches the audio off; a node without a camera disables the buttons.
    f.press(Dlg::CmdMicrophone);
    f.selectDoorCamera(0);
    QCOMPARE(f.library->take(), (QStringList{"Talk 1 on callback", "Talk 1 off",
                                             "Show 1 camera 0 host 1 values 0 0"}));
    QVERIFY(!f.checked(Dlg::CmdMicrophone));
    f.dialog().OnNodeSelected(1, 0, -1, -1, -1, -1, -1, -1);
    for (int command : {Dlg::CmdSpeaker, Dlg::CmdMicrophone, Dlg::CmdIntercom, Dlg::CmdUnlock})
        QVERIFY(!f.enabled(command));

    // The event side's way in shows the same.
    f.side->SelectCamera(CameraSelection{1, 0, 5, 2, -1, 0, 10, 1});
    QVERIFY(f.enabled(Dlg::CmdSpeaker));
    QCOMPARE(f.side->cameraSelection().doorId, 2);
}

void tst_VideoSide::refusedAudioUnchecksAndShowsMessage()
{
    SideFixture f;
    f.dvr->listenCodecUnsupported = 1;
    f.selectDoorCamera(1);
    f.library->take();

    f.press(Dlg::CmdSpeaker); // the button checks itself first
    QVERIFY(!f.checked(Dlg::CmdSpeaker));
    QVERIFY(!f.side->speakerOn());
    QCOMPARE(f.library->take(), QStringList());
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = f.dialog().findChild<QMessageBox*>()) != nullptr);
    QCOMPARE(box->text(),
             CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_AUDIO_CODEC_NOT_SUPPORTED")));
    QCOMPARE(box->windowTitle(), f.dialog().windowTitle());
    QCOMPARE(box->icon(), QMessageBox::Warning);
    box->close();
}

// Listening without a working sound output: the Speaker button's tooltip says so until sound
// plays again.
void tst_VideoSide::speakerToolTipSaysWhyItIsSilent()
{
    SideFixture f;
    f.selectDoorCamera(1);
    f.press(Dlg::CmdSpeaker);
    QVERIFY(f.side->speakerOn());
    const auto report = [&f](int status) {
        std::thread([&f, status] {
            f.library->cameraCallback->OnAudioOutput(1, 1, status);
        }).join();
    };
    report(KRVIDEO_OUTPUT_UNAVAILABLE);
    QTRY_COMPARE(f.toolBar().toolTipKey(Dlg::CmdSpeaker),
                 QStringLiteral("TAV_IDS_AUDIO_NO_OUTPUT"));
    QVERIFY(f.checked(Dlg::CmdSpeaker));
    QTRY_VERIFY(f.dialog().findChild<QMessageBox*>() != nullptr);
    report(KRVIDEO_OUTPUT_PLAYING);
    QTRY_COMPARE(f.toolBar().toolTipKey(Dlg::CmdSpeaker), QStringLiteral("TAV_IDS_SPEAKER"));
}

void tst_VideoSide::callDoorOperationsGoThroughEventSide()
{
    PlayerRecorder player; // outlives the event side
    SideFixture f;
    f.side->setEventSide(new CEventSide(f.dialog(), *f.side, &f.side->liveVideo(), &player));
    f.selectDoorCamera(1);
    f.d->control->sent.clear();

    f.press(Dlg::CmdSpeaker);
    QCOMPARE(f.sent(QStringLiteral("ADD_USER_ACTION_LOG")).size(), 1);
    f.press(Dlg::CmdMicrophone);
    const KRVideoTalkCallback talk = f.library->talkCallback;
    QVERIFY(talk);
    std::thread([talk] { talk(1, 1, KRVIDEO_TALK_STARTED); }).join();
    // Door operation 1 (call connected) and 3 (call ended), direction 1: DATA = 256 + op.
    QTRY_COMPARE(f.sent(QStringLiteral("DOOR_OPERATIONS")), QStringList{"257 7"});
    f.press(Dlg::CmdMicrophone);
    QCOMPARE(f.sent(QStringLiteral("DOOR_OPERATIONS")), (QStringList{"257 7", "259 7"}));
}

void tst_VideoSide::dialogGoesWithEverythingAttached()
{
    // Whichever of the sides and the views Qt deletes first, nothing is used after it went.
    PlayerRecorder player; // outlives the event side
    SideFixture f;
    f.side->setEventSide(new CEventSide(f.dialog(), *f.side, &f.side->liveVideo(), &player));
    f.selectDoorCamera(1);
    f.press(Dlg::CmdIntercom);
    QVERIFY(f.side->isTalking());
    QPointer<CLiveView> view = f.side->liveView();
    f.d->dialog.reset();
    QVERIFY(!view);
}

QTEST_MAIN(tst_VideoSide)
#include "tst_VideoSide.moc"
