#include "alerts/COptions.h"
#include "common/AlarmPlayerRecorder.h"
#include "connection/ConnectionManager.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "harness/SimProcess.h"
#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"
#include "tnclient/TnClient.h"
#include "ui/eventlist/CEventListCtrl.h"
#include "ui/eventlist/CEventSide.h"
#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/EventTileDelegate.h"
#include "ui/mainwindow/CAlphaToolBar.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// The event side in the real operator window, with the real client control, against the host
// simulator: notification, alarm, event log, snapshot download, thumbnail, the processed action
// and the host's confirmation reaching every monitor.

namespace {

constexpr int kWait = 20000; // generous for a loaded 2-core machine; only failures wait this long

// One door with operations allowed; a few events with a picture, direction 1.
const char kScenario[] = R"({
  "name": "Event Site", "key": 4660, "version": "0x4030000",
  "users": [ { "name": "operator", "password": "demo", "privilege": "0x2080", "rights": "all" } ],
  "groups": [ { "id": 1, "name": "HQ" } ],
  "controllers": [
    { "id": 1, "group": 1, "type": 1, "name": "Lobby", "status": 6,
      "doors": [ { "id": 0, "name": "Main", "status": "0x1000" } ] } ],
  "timeline": [
    { "at": 0.5, "every": 1.5, "count": 4, "do": "event", "controller": 1, "door": 0,
      "message": 16, "direction": 1, "image": "%IMAGE%" } ]
})";

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

// One operator window: the real control, the event side, a recording alarm player.
struct Monitor
{
    LiveViewStub live;
    PlayerRecorder player;
    std::unique_ptr<CTNClientTestDlg> dlg;
    CEventSide* side = nullptr;

    Monitor(const QString& hostList, int port) : m_port(port)
    {
        auto control = std::make_unique<CTnClient>();
        control->setConnectTimeout(kWait);
        dlg = std::make_unique<CTNClientTestDlg>(std::move(control),
                                                 std::make_unique<ManualTickSource>(1000));
        dlg->manager().setHostListPath(hostList);
    }
    bool start()
    {
        if (!dlg->Create())
            return false;
        // Attached right after creation, as the application does.
        side = new CEventSide(*dlg, live, nullptr, &player);
        side->options().invokeAlarm = 1;
        side->options().waveSelect = COptions::Buzzer;
        side->options().duration = 10;
        auto host = std::make_unique<CKRHost>(1);
        host->address = QStringLiteral("127.0.0.1");
        host->port = m_port;
        host->userName = QStringLiteral("operator");
        host->password = QStringLiteral("demo");
        dlg->manager().AddHost(std::move(host));
        dlg->show();
        dlg->manager().RunConnectionPass();
        return true;
    }
    CEventListModel& model() { return side->model(); }
    CEventListCtrl& list() { return *side->eventList(); }
    bool loggedIn()
    {
        const CKRHost* host = dlg->manager().FindHostById(1);
        return host && host->connected && host->siteConfig.FindDoor(1, 0);
    }
    int m_port;
};

// The messages the simulator received, from its --log file.
QList<QJsonObject> Received(const QString& logPath, const QString& command)
{
    QList<QJsonObject> out;
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        if (line.value(QStringLiteral("cmd")).toString() == command)
            out << line.value(QStringLiteral("fields")).toObject();
    }
    return out;
}

int IntField(const QJsonObject& fields, const char* key)
{
    return fields.value(QLatin1String(key)).toObject().value(QStringLiteral("i")).toInt();
}

// Where a snapshot of this event belongs: the UTC day's folder, the host's folder in it, the
// day, the log id in ten digits and the camera direction 1 or 2.
QString ExpectedSnapshotName(double utcDays, int hostId, int logId, int direction)
{
    const QString day = QDate(1899, 12, 30)
                            .addDays(qint64(std::floor(utcDays)))
                            .toString(QStringLiteral("yyyyMMdd"));
    return QStringLiteral("%1/%2/EV.%1.%3-%4.jpg")
        .arg(day)
        .arg(hostId)
        .arg(logId, 10, 10, QLatin1Char('0'))
        .arg(direction + 1);
}

QColor TileColour(CEventListCtrl& list, int row)
{
    // Right of the short device line, inside both the tile and the visible area.
    const QRect tile = list.visualRect(list.model()->index(row, 0));
    const QImage shot = list.viewport()->grab().toImage();
    return shot.pixelColor(qMin(tile.right(), shot.width() - 1) - 6, tile.center().y());
}

} // namespace

class TestEventFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::exists(QStringLiteral(KRHOST_SIM_PATH)));
        QVERIFY(m_dir.isValid());
        qputenv("KRNOTIFY_SNAPSHOT_DIR", m_dir.filePath(QStringLiteral("KRNotifyPic")).toUtf8());
    }

    void eventFromNotificationToConfirmation()
    {
        const QString image =
            QDir(qEnvironmentVariable("KRNOTIFY_SOURCE_DIR"))
                .filePath(QStringLiteral("resources/demo/snapshots/door-forced.jpg"));
        QFile picture(image);
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QByteArray pictureBytes = picture.readAll();
        const QString scenario = m_dir.filePath(QStringLiteral("scenario.json"));
        {
            QFile file(scenario);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(kScenario).replace("%IMAGE%", image.toUtf8()));
        }
        const QString simLog = m_dir.filePath(QStringLiteral("received.jsonl"));
        SimProcess sim;
        QVERIFY(sim.start(1, {"--scenario", scenario, "--log", simLog}));

        Monitor a(m_dir.filePath(QStringLiteral("hostsA")), sim.ports[0]);
        Monitor b(m_dir.filePath(QStringLiteral("hostsB")), sim.ports[0]);
        QVERIFY(a.start());
        QVERIFY(b.start());
        QTRY_VERIFY_WITH_TIMEOUT(a.loggedIn() && b.loggedIn(), kWait);

        // An event both monitors were told about.
        EVENT* e = nullptr;
        const auto common = [&] {
            for (int i = 0; i < b.model().rowCount(); ++i) {
                const EVENT* seen = b.model().eventAt(i);
                if ((e = a.model().FindEvent(1, seen->logType, seen->logId)))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(common(), kWait);
        const qint32 logType = e->logType, logId = e->logId;

        // A new row: orange, with its device and local time; the alarm loops.
        QCOMPARE(e->state, qint32(EVENT::New));
        QCOMPARE(e->directionIndex, 1);
        QCOMPARE(a.side->GetEventDeviceText(e->hostId, e->controllerId, e->doorId, e->inputId),
                 QStringLiteral("Main . Lobby"));
        QVERIFY(!e->localTime.toDisplayText().isEmpty());
        QVERIFY(a.player.log.contains(QStringLiteral("loop Buzzer.wav")));

        // The event log gives the row its text and its snapshot, downloaded under its name.
        QTRY_VERIFY_WITH_TIMEOUT(e->log != nullptr, kWait);
        QCOMPARE(CEventListModel::MessageText(*e),
                 CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_EVENT_MSG_10")));
        const QString expectedPath =
            QDir(a.dlg->snapshotFolder())
                .filePath(ExpectedSnapshotName(e->log->utcTime.days(), e->hostId, logId, 1));
        QCOMPARE(e->snapshotPaths, QStringList{expectedPath});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(expectedPath), kWait);
        QFile downloaded(expectedPath);
        QVERIFY(downloaded.open(QIODevice::ReadOnly));
        QCOMPARE(downloaded.readAll(), pictureBytes);

        // The list paints the thumbnail once the picture is there.
        a.list().scrollTo(a.list().model()->index(a.model().rowOf(e), 0));
        QTRY_VERIFY_WITH_TIMEOUT(
            a.side->thumbnails().isKnown(expectedPath) &&
                a.side->thumbnails().GetThumbnailIndex(e->snapshotPaths, false) > 0,
            kWait);
        QTRY_COMPARE_WITH_TIMEOUT(TileColour(a.list(), a.model().rowOf(e)),
                                  EventTileDelegate::NewColor(), kWait);

        // The operator selects the row in the focused list: Processed is offered.
        a.list().setFocus();
        a.list().setCurrentIndex(a.list().model()->index(a.model().rowOf(e), 0));
        QCOMPARE(a.side->selectedEvent(), e);
        QCOMPARE(a.live.shown.doorId, 0);
        QVERIFY(a.dlg->toolBar().isCommandEnabled(CTNClientTestDlg::CmdProcessed));

        // Processed: the door operation and the acknowledgement go out, the row waits for the
        // host.
        a.player.log.clear();
        a.dlg->OnCommand(CTNClientTestDlg::CmdProcessed);
        QCOMPARE(a.player.log.value(0), QStringLiteral("stop"));
        QCOMPARE(e->state, qint32(EVENT::New));
        QTRY_VERIFY_WITH_TIMEOUT(!Received(simLog, "KRNOTIFY_NOTIFY_EVENT_HANDLED").isEmpty(),
                                 kWait);
        const QList<QJsonObject> doorOps = Received(simLog, QStringLiteral("DOOR_OPERATIONS"));
        QCOMPARE(doorOps.size(), 1);
        QCOMPARE(IntField(doorOps[0], "C_ID"), 1);
        QCOMPARE(IntField(doorOps[0], "D_ID"), 0);
        QCOMPARE(IntField(doorOps[0], "CONTROL_CODE"), 31);
        QCOMPARE(IntField(doorOps[0], "DATA"), 1 * 256 + 2);
        const QJsonObject ack = Received(simLog, "KRNOTIFY_NOTIFY_EVENT_HANDLED").constFirst();
        QCOMPARE(IntField(ack, "L_TYPE"), logType);
        QCOMPARE(IntField(ack, "L_ID"), logId);

        // The host's confirmation turns the row handled, here and at the other monitor.
        QTRY_COMPARE_WITH_TIMEOUT(e->state, qint32(EVENT::Handled), kWait);
        QVERIFY(!a.dlg->toolBar().isCommandEnabled(CTNClientTestDlg::CmdProcessed));
        QTRY_COMPARE_WITH_TIMEOUT(b.model().FindEvent(1, logType, logId)->state,
                                  qint32(EVENT::Handled), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(
            TileColour(a.list(), a.model().rowOf(e)) != EventTileDelegate::NewColor(), kWait);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestEventFlow)
#include "tst_EventFlow.moc"
