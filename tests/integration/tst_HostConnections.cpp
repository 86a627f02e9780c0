#include "harness/SimProcess.h"
#include "ViewRecorder.h"
#include "connection/ConnectionManager.h"
#include "model/CHostMap.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"
#include "tnclient/TnClient.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kWait = 15000; // generous for a loaded 2-core machine; only the failure path waits

// A site with a type-18 controller whose door's first camera is camera 3 of recorder 5.
const char kSiteScenario[] = R"({
  "name": "Integration Site", "guid": "{11111111-2222-3333-4444-555555555555}",
  "key": 4660, "version": "0x4030000", "dvrs_first": true,
  "users": [ { "name": "operator", "password": "demo", "privilege": 0, "gp": "0x11",
               "read": [1], "write": [2], "execute": [1, 2] } ],
  "groups": [ { "id": 1, "name": "HQ" }, { "id": 2, "name": "Yard" } ],
  "dvrs": [ { "id": 5, "group": 1, "name": "Recorder", "type": 1, "address": "127.0.0.1",
              "port": 8554, "cameras": ["A", "B", "C", "D"] } ],
  "controllers": [
    { "id": 1, "group": 1, "type": 1, "name": "Lobby", "status": 6,
      "input_names": ["Motion"],
      "inputs": [ { "id": 0, "video1": { "dvr": 5, "camera": 1 } } ],
      "doors": [ { "id": 0, "name": "Main", "status": "0x1000", "video1": { "dvr": 5, "camera": 0 } },
                 { "id": 1, "name": "Side" } ] },
    { "id": 2, "group": 2, "type": 18, "name": "Gate", "address": "10.9.9.9",
      "login": "gl", "password": "gp", "status": 6,
      "doors": [ { "id": 0, "name": "Gate Door", "workmode": 6, "video1": { "dvr": 5, "camera": 3 } } ] }
  ]
})";

// The real control and core, with recording views and a tick that moves only when told.
struct Client
{
    CTnClient control;
    ManualTickSource ticks{1000};
    ViewRecorder views;
    QTemporaryDir dir;
    CConnectionManager manager{control, ticks};
    QSignalSpy loggedIn{&manager, &CConnectionManager::hostLoggedIn};

    Client()
    {
        manager.setDeviceTree(&views);
        manager.setLiveView(&views);
        manager.setEventList(&views);
        manager.setHostListPath(dir.filePath(QStringLiteral("KRNotifyHosts")));
        control.setConnectTimeout(kWait);
    }
    CKRHost& addHost(int hostId, int port)
    {
        auto host = std::make_unique<CKRHost>(hostId);
        host->address = QStringLiteral("127.0.0.1");
        host->port = port;
        host->userName = QStringLiteral("operator");
        host->password = QStringLiteral("demo");
        CKRHost* raw = host.get();
        manager.AddHost(std::move(host));
        return *raw;
    }
    int closes() const { return views.calls(QStringLiteral("DisconnectHost")).size(); }
};

QString WriteScenario(const QTemporaryDir& dir, const char* json)
{
    const QString path = dir.filePath(QStringLiteral("scenario.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(json);
    return path;
}

} // namespace

class TestHostConnections : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(QFile::exists(QStringLiteral(KRHOST_SIM_PATH))); }

    void loginBuildsTheSiteAndKeepAliveIsAnswered()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(1, {"--scenario", WriteScenario(client.dir, kSiteScenario)}));
        CKRHost& host = client.addHost(1, sim.ports[0]);
        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 1, kWait);

        // The last message of the configuration is the type-18 controller's door status.
        const CSiteConfig& site = host.siteConfig;
        QTRY_VERIFY_WITH_TIMEOUT(site.FindDoor(2, 0) && site.FindController(2)->status == 6, kWait);
        QCOMPARE(host.name, QStringLiteral("Integration Site"));
        QCOMPARE(host.guidText, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
        QCOMPARE(host.serverVersion, 0x4030000);
        QCOMPARE(host.key, 4660);
        QCOMPARE(host.privilegeMask, 0x2080u);
        QVERIFY(host.hasReadRight(1) && !host.hasReadRight(2));
        QVERIFY(host.hasWriteRight(2) && !host.hasWriteRight(1));
        QVERIFY(host.hasExecuteRight(1) && host.hasExecuteRight(2));
        QCOMPARE(client.views.calls("RemoveHostEvents"), QStringList{"RemoveHostEvents 1"});

        QCOMPARE(int(site.deviceGroups.size()), 2);
        QCOMPARE(site.FindGroup(2)->name, QStringLiteral("Yard"));
        QCOMPARE(int(site.controllers.size()), 2);
        QCOMPARE(site.FindController(1)->name, QStringLiteral("Lobby"));
        QVERIFY(site.FindController(1)->IsOnline());
        QCOMPARE(site.FindDoor(1, 0)->name, QStringLiteral("Main"));
        QCOMPARE(site.FindDoor(1, 0)->video1Source, 5);
        QVERIFY(site.FindDoor(1, 1));
        QCOMPARE(site.FindDoor(1, 0)->status, 0x1000);
        QCOMPARE(site.FindInput(1, 0)->name, QStringLiteral("Motion"));
        QCOMPARE(site.FindInput(1, 0)->enabled, 1);
        QCOMPARE(site.FindInput(1, 0)->video1Camera, 1);
        QCOMPARE(site.FindDoor(2, 0)->workMode, 6);

        const CDvr* recorder = site.FindDvr(5);
        QVERIFY(recorder);
        QCOMPARE(recorder->CameraCount(), 4);
        QCOMPARE(recorder->address, host.address); // 127.0.0.1: the server's own address
        const CDvr* camera = site.FindCameraSource(5, 3);
        QVERIFY(camera);
        QCOMPARE(camera->dvrId, (5 + 1000000) * 1024 + 3);
        QCOMPARE(camera->address, QStringLiteral("10.9.9.9"));
        QCOMPARE(camera->userName, QStringLiteral("gl"));
        QCOMPARE(
            client.views.calls("ConnectDvr"),
            (QStringList{"ConnectDvr 1 5", QStringLiteral("ConnectDvr 1 %1").arg(camera->dvrId)}));

        client.manager.RunKeepAlivePass();
        QCOMPARE(host.keepAliveStamp, 1000u);
        QTRY_COMPARE_WITH_TIMEOUT(host.keepAliveStamp, 0u, kWait);
    }

    void silentHostIsDroppedAndReconnected()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(1, {"--no-alive"}));
        CKRHost& host = client.addHost(1, sim.ports[0]);
        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 1, kWait);

        client.manager.RunKeepAlivePass(); // CHECK_ALIVE at tick 1000, never answered
        client.ticks.advance(20000);
        client.manager.RunKeepAlivePass();
        QCOMPARE(client.closes(), 0);
        QCOMPARE(host.connected, 1);
        client.ticks.advance(1);
        client.manager.RunKeepAlivePass();
        QTRY_COMPARE_WITH_TIMEOUT(client.closes(), 1, kWait);
        QCOMPARE(host.connected, 0);
        QCOMPARE(host.connectionId, 0);

        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 2, kWait);
        QCOMPARE(host.keepAliveStamp, 0u);
    }

    void refusedLoginClosesAndIsRetried()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(1, {"--refuse-login"}));
        CKRHost& host = client.addHost(1, sim.ports[0]);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            client.manager.RunConnectionPass();
            QTRY_COMPARE_WITH_TIMEOUT(client.closes(), attempt, kWait);
            QCOMPARE(host.connected, 0);
        }
        QCOMPARE(client.views.calls("RemoveHostChildren").size(), 2); // connected twice
        QCOMPARE(client.loggedIn.size(), 0);
        QCOMPARE(host.privilegeMask, 0u);
    }

    // The timers run for real here, with a short connection pass: the host cuts every
    // connection shortly after its login, and the pass brings it back each time.
    void droppedConnectionIsRetriedByTheConnectionPass()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(1, {"--drop-after", "0.05"}));
        client.addHost(1, sim.ports[0]);
        client.manager.setConnectionPassInterval(20);
        client.manager.Start();
        QTRY_VERIFY_WITH_TIMEOUT(client.loggedIn.size() >= 3 && client.closes() >= 2, kWait);
        client.manager.Stop();
        QVERIFY(client.manager.hosts().isEmpty());
    }

    void connectionSummaryFollowsBothHosts()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(2, {}));
        QSignalSpy summary(&client.manager, &CConnectionManager::connectionSummary);
        client.addHost(1, sim.ports[0]);
        client.addHost(2, sim.ports[1]);
        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 2, kWait);
        sim.stop();
        QTRY_COMPARE_WITH_TIMEOUT(client.closes(), 2, kWait);
        QList<int> states;
        for (const auto& args : summary)
            states << args.at(0).toInt();
        QCOMPARE(states, (QList<int>{2, 2, 1, 0, 1, 2}));
    }

    void malformedFrameClosesTheConnection()
    {
        Client client;
        QVERIFY(client.manager.Create());
        SimProcess sim;
        QVERIFY(sim.start(1, {"--malformed-after", "0.05"}));
        CKRHost& host = client.addHost(1, sim.ports[0]);
        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(client.closes(), 1, kWait);
        QCOMPARE(host.connected, 0);
        client.manager.RunConnectionPass(); // the core keeps working
        QTRY_COMPARE_WITH_TIMEOUT(client.loggedIn.size(), 2, kWait);
    }

    // A host that announces a frame beyond the protocol's 1 MiB limit is closed at once,
    // before anything of it is buffered or delivered.
    void oversizedFrameClosesTheConnection()
    {
        Client client;
        QVERIFY(client.manager.Create());
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
            QTcpSocket* socket = server.nextPendingConnection();
            const char header[] = {0x00, 0x10, 0x00, 0x01}; // 1 MiB + 1
            socket->write(header, sizeof header);
            socket->write(QByteArray(4096, '{'));
        });
        CKRHost& host = client.addHost(1, server.serverPort());
        client.manager.RunConnectionPass();
        QTRY_COMPARE_WITH_TIMEOUT(client.closes(), 1, kWait);
        QCOMPARE(host.connected, 0);
        QCOMPARE(client.loggedIn.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHostConnections)
#include "tst_HostConnections.moc"
