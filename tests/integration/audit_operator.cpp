// An operator at work, scripted, against the host simulator: the real main dialog, event side
// and client control. It takes the oldest listed event as processed, waits for the host's
// confirmation, then unlocks the door (answering the question) for the next event, and prints
// a line after each step ("processed ID", "confirmed ID", "unlocked ID"). Then it waits to be
// killed. Usage: audit_operator PORT HOSTLIST
#include "alerts/COptions.h"
#include "common/AlarmPlayerRecorder.h"
#include "connection/ConnectionManager.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"
#include "tnclient/TnClient.h"
#include "ui/eventlist/CEventListCtrl.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/eventlist/ShownEventsModel.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

struct LiveViewStub : EventLiveView
{
    CameraSelection shown;
    CameraSelection cameraSelection() const override { return shown; }
    void SelectCamera(const CameraSelection& s) override { shown = s; }
    void SelectPath(int, int, const CameraSelection&) override {}
    bool SetSpeaker(bool) override { return false; }
    bool SetMicrophone(bool) override { return false; }
    bool speakerOn() const override { return false; }
    bool microphoneOn() const override { return false; }
    bool isTalking() const override { return false; }
};

void Say(const char* step, int logId)
{
    std::printf("%s %d\n", step, logId);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: audit_operator PORT HOSTLIST\n");
        return 2;
    }
    LiveViewStub live;
    PlayerRecorder player;
    CTNClientTestDlg dlg(std::make_unique<CTnClient>(), std::make_unique<ManualTickSource>(1000));
    dlg.manager().setHostListPath(QString::fromLocal8Bit(argv[2]));
    if (!dlg.Create())
        return 1;
    auto* side = new CEventSide(dlg, live, nullptr, &player);
    side->options().askBeforeUnlock = 1;
    auto host = std::make_unique<CKRHost>(1);
    host->address = QStringLiteral("127.0.0.1");
    host->port = QString::fromLocal8Bit(argv[1]).toInt();
    host->userName = QStringLiteral("operator");
    host->password = QStringLiteral("demo");
    dlg.manager().AddHost(std::move(host));
    dlg.show();
    dlg.manager().RunConnectionPass();

    CEventListModel& model = side->model();
    CEventListCtrl& list = *side->eventList();
    int processedId = -1;
    int step = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int rows = model.rowCount();
        switch (step) {
        case 0: { // the oldest of two listed events: processed
            const CKRHost* host = dlg.manager().FindHostById(1);
            if (rows < 2 || !host || !host->siteConfig.FindDoor(1, 0))
                return;
            list.shownEvents()->Publish(); // the list shows what the model holds
            list.setCurrentIndex(list.model()->index(rows - 1, 0));
            processedId = model.eventAt(rows - 1)->logId;
            dlg.OnCommand(CTNClientTestDlg::CmdProcessed);
            Say("processed", processedId);
            ++step;
            return;
        }
        case 1: // the host confirms it
            if (const EVENT* e = model.FindEvent(1, 2, processedId);
                !e || e->state != EVENT::Handled)
                return;
            Say("confirmed", processedId);
            ++step;
            return;
        case 2: { // the newest event's door: unlocked, the question answered
            list.shownEvents()->Publish();
            list.setCurrentIndex(list.model()->index(0, 0));
            const int logId = model.eventAt(0)->logId;
            QTimer::singleShot(0, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->findChild<QPushButton*>(QStringLiteral("unlock"))->click();
            });
            dlg.OnCommand(CTNClientTestDlg::CmdUnlock);
            Say("unlocked", logId);
            ++step;
            return;
        }
        default: // waits to be killed
            return;
        }
    });
    poll.start(20);
    return app.exec();
}
