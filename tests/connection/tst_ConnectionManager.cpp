#include "CoreFixture.h"
#include "common/PerfLogCapture.h"
#include "connection/ConfigurationMeter.h"
#include "connection/HostListFile.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QString Rights(int length, std::initializer_list<int> granted)
{
    QString text(length, QLatin1Char('0'));
    for (int i : granted)
        text[i] = QLatin1Char('1');
    return text;
}

} // namespace

Q_DECLARE_METATYPE(ClientControl::EndReason)
Q_DECLARE_METATYPE(CKRHost::DownReason)

class TestConnectionManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createInitializesWithContextAndReleasesOnDestruction()
    {
        FakeClientControl control;
        ManualTickSource ticks;
        control.initializeResult = false;
        {
            CConnectionManager manager(control, ticks);
            QVERIFY(!manager.Create());
        }
        QCOMPARE(control.calls, (QStringList{"Initialize 200", "Uninitialize"}));
    }

    // Which events reach a handler, and which are answered by Disconnect.
    void dispatch_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<bool>("knownConnection");
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("dispatched");
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("receive") << "receive" << true << 200 << "PROBE" << true << false;
        QTest::newRow("receive2") << "receive2" << true << 200 << "PROBE" << true << false;
        QTest::newRow("unknown connection")
            << "receive" << false << 200 << "PROBE" << false << true;
        QTest::newRow("unknown connection 2")
            << "receive2" << false << 200 << "PROBE" << false << true;
        QTest::newRow("unknown, other context")
            << "receive" << false << 7 << "PROBE" << false << true;
        QTest::newRow("other context") << "receive" << true << 199 << "PROBE" << false << false;
        QTest::newRow("unknown command") << "receive" << true << 200 << "probe" << false << false;
        QTest::newRow("empty command") << "receive" << true << 200 << "" << false << false;
        QTest::newRow("null command") << "receive" << true << 200 << QString() << false << false;
        QTest::newRow("connected, unknown") << "connected" << false << 200 << "" << false << true;
        QTest::newRow("failed, unknown") << "failed" << false << 200 << "" << false << false;
        QTest::newRow("close, unknown") << "close" << false << 200 << "" << false << false;
    }
    void dispatch()
    {
        QFETCH(QString, event);
        QFETCH(bool, knownConnection);
        QFETCH(int, context);
        QFETCH(QString, command);
        QFETCH(bool, dispatched);
        QFETCH(bool, disconnected);
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        int calls = 0;
        core.manager.RegisterCommand("PROBE", [&](const QString&, long id) {
            QCOMPARE(id, long(host.connectionId));
            ++calls;
        });
        const long id = knownConnection ? host.connectionId : 4242;
        const short ctx = short(context);
        if (event == "receive")
            core.manager.OnReceive(ctx, command, id);
        else if (event == "receive2")
            core.manager.OnReceive2(ctx, command, id);
        else if (event == "connected")
            core.manager.OnConnected(ctx, id);
        else if (event == "failed")
            core.manager.OnConnectFailed(ctx, id);
        else
            core.manager.OnClose(ctx, id);
        QCOMPARE(calls, dispatched ? 1 : 0);
        QCOMPARE(core.control.disconnected,
                 disconnected ? std::vector<long>{id} : std::vector<long>{});
    }

    // Idle hosts hold connection id 0: an event for id 0 must not be taken for theirs.
    void connectionIdZeroNamesNoHost()
    {
        CoreFixture core;
        core.addHost(1);
        QVERIFY(!core.manager.FindHostByConnection(0));
        core.manager.OnConnected(200, 0);
        QCOMPARE(core.manager.FindHostById(1)->connected, 0);
    }

    void connectedClearsSiteAndLogsIn()
    {
        CoreFixture core;
        CKRHost& host = core.addHost(1);
        host.userName = "operator";
        host.password = "pw";
        QSignalSpy summary(&core.manager, &CConnectionManager::connectionSummary);
        core.manager.TryConnect(host);
        core.clearRecords();
        Q_EMIT core.control.OnConnected(host.connectionId);

        QCOMPARE(host.connected, 1);
        QVERIFY(host.siteConfig.deviceGroups.empty()); // the default group is gone too
        QCOMPARE(summary.takeLast().at(0).toInt(), 0);
        QCOMPARE(core.views.log, (QStringList{"RemoveHostChildren 1", "UpdateHostNode 1"}));
        QCOMPARE(core.control.sent.size(), size_t(1));
        const auto& login = core.control.sent.front();
        QCOMPARE(login.command, QStringLiteral("REMOTEMONITOR_LOGIN"));
        QCOMPARE(login.connectionId, long(host.connectionId));
        QCOMPARE(login.fields, (QVariantMap{{"VERSION", 0x6000200},
                                            {"USERNAME", "operator"},
                                            {"PASSWORD", "pw"},
                                            {"KRREMOTE_TYPE", 2}}));
    }

    void loginReply_data()
    {
        QTest::addColumn<QVariantMap>("reply");
        QTest::addColumn<uint>("privileges");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("rights");
        const QVariantMap rights{{"R_READ", Rights(1000, {0, 5})},
                                 {"R_WRITE", Rights(1000, {5})},
                                 {"R_EXECUTE", Rights(1200, {999})}};
        auto with = [&](QVariantMap extra) {
            QVariantMap m = rights;
            m.insert(extra);
            return m;
        };
        QTest::newRow("group bits 0x11")
            << with({{"R_GP", 0x11}, {"R_VERSION", 0x4030000}}) << 0x2080u << 0x4030000 << true;
        QTest::newRow("all group bits, higher ignored")
            << with({{"R_GP", 0xfff}}) << 0x47784u << 0x1010000 << true;
        QTest::newRow("privilege wins over group bits")
            << with({{"R_PRIVILEGE", 0x5}, {"R_GP", 0x11}}) << 0x5u << 0x1010000 << true;
        QTest::newRow("no version") << with({}) << 0u << 0x1010000 << true;
        QVariantMap shortRead = rights;
        shortRead["R_READ"] = Rights(999, {0, 5});
        QTest::newRow("one rights text short") << shortRead << 0u << 0x1010000 << false;
        QVariantMap nulInside = rights; // the text ends at its NUL: 999 characters
        nulInside["R_WRITE"] = QString(Rights(999, {5}) + QChar(0) + Rights(200, {}));
        QTest::newRow("rights text ends at a NUL") << nulInside << 0u << 0x1010000 << false;
    }
    void loginReply()
    {
        QFETCH(QVariantMap, reply);
        QFETCH(uint, privileges);
        QFETCH(int, version);
        QFETCH(bool, rights);
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        host.readRights[7] = 1; // cleared by every successful reply
        QSignalSpy loggedIn(&core.manager, &CConnectionManager::hostLoggedIn);
        reply.insert("R_KEY", 77);
        core.control.login(host.connectionId, reply);
        QCOMPARE(host.privilegeMask, privileges);
        QCOMPARE(host.serverVersion, version);
        QCOMPARE(host.key, 77);
        QCOMPARE(host.hasReadRight(7), false);
        QCOMPARE(host.hasReadRight(0), rights);
        QCOMPARE(host.hasReadRight(5), rights);
        QCOMPARE(host.hasWriteRight(5), rights);
        QCOMPARE(host.hasWriteRight(0), false);
        QCOMPARE(host.hasExecuteRight(999), rights);
        QCOMPARE(loggedIn.size(), 1);
    }

    void refusedLoginDisconnectsAndKeepsState()
    {
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        core.control.login(
            host.connectionId,
            {{"R_RESULT", 3}, {"R_GUID", "G-1"}, {"R_PRIVILEGE", 0xff}, {"R_KEY", 9}});
        QCOMPARE(core.control.disconnected, std::vector<long>{host.connectionId});
        QCOMPARE(host.connected, 1); // until the control reports the close
        QCOMPARE(host.guidText, QStringLiteral("G-1"));
        QCOMPARE(host.serverVersion, 0);
        QCOMPARE(host.privilegeMask, 0u);
        QCOMPARE(host.key, 0);
        QVERIFY(core.views.calls("RemoveHostEvents").isEmpty());
    }

    void guidChangeRemovesHostEvents()
    {
        CoreFixture core;
        CKRHost& host = core.connectedHost(4);
        const QVariantMap reply{{"R_GUID", "AAAA"}};
        core.control.login(host.connectionId, reply); // first login: the start GUID is random
        core.control.login(host.connectionId, reply);
        // The GUID ends at a NUL, as any text from a host: still the same installation.
        core.control.login(host.connectionId, {{"R_GUID", QString("AAAA" + QChar(0) + "B")}});
        QCOMPARE(host.guidText, QStringLiteral("AAAA"));
        core.control.login(host.connectionId, {{"R_GUID", "aaaa"}}); // case counts
        QCOMPARE(core.views.calls("RemoveHostEvents"),
                 (QStringList{"RemoveHostEvents 4", "RemoveHostEvents 4"}));
    }

    void loginReplyForIdleHostIsIgnored()
    {
        CoreFixture core;
        CKRHost& host = core.addHost(1);
        core.manager.TryConnect(host); // attempting, not connected
        core.control.login(host.connectionId, {{"R_PRIVILEGE", 0x80}, {"R_GUID", "X"}});
        QCOMPARE(host.privilegeMask, 0u);
        QVERIFY(host.guidText != QStringLiteral("X"));
    }

    // Tick offsets from the pass that sent CHECK_ALIVE, and whether the host is dropped.
    void keepAlive_data()
    {
        QTest::addColumn<quint32>("start");
        // Tick of each later pass; -1: the answer is handled; -2 and -3: messages of the host
        // start and stop waiting in the control.
        QTest::addColumn<QList<qint64>>("passes");
        QTest::addColumn<int>("dropAtPass"); // index into passes, -1: never
        const quint32 t = 5000;
        QTest::newRow("at 20000 kept, past it dropped")
            << t << QList<qint64>{t + 10000, t + 20000, t + 20001} << 2;
        QTest::newRow("answered in time")
            << t << QList<qint64>{t + 10000, -1, t + 20001, t + 40001} << -1;
        QTest::newRow("messages waiting: not silent until they are handled")
            << t << QList<qint64>{t + 10000, -2, t + 20001, t + 30001, -3, t + 30002} << 5;
        const quint32 late = 0xffffff00u;
        QTest::newRow("tick wraps: stamp moves, dropped 20 s later")
            << late << QList<qint64>{0x10, 0x10 + 20000, 0x10 + 20001} << 2;
    }
    void keepAlive()
    {
        QFETCH(quint32, start);
        QFETCH(QList<qint64>, passes);
        QFETCH(int, dropAtPass);
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        core.ticks.setTickCount(start);
        core.manager.RunKeepAlivePass();
        QCOMPARE(core.control.sentCommands(),
                 QStringList{QStringLiteral("CHECK_ALIVE %1").arg(host.connectionId)});
        QCOMPARE(host.keepAliveStamp, start);
        for (int i = 0; i < passes.size(); ++i) {
            if (passes[i] == -1) {
                core.control.receive("CHECK_ALIVE", host.connectionId);
                QCOMPARE(host.keepAliveStamp, 0u);
                continue;
            }
            if (passes[i] < 0) {
                core.control.waiting = passes[i] == -2;
                continue;
            }
            core.ticks.setTickCount(quint32(passes[i]));
            core.manager.RunKeepAlivePass();
            const bool dropped = !core.control.disconnected.empty();
            QCOMPARE(dropped, i >= dropAtPass && dropAtPass >= 0);
            if (dropped) {
                QCOMPARE(core.control.disconnected.front(), long(host.connectionId));
                return;
            }
        }
    }

    void keepAliveSkipsHostsNotConnected()
    {
        CoreFixture core;
        core.addHost(1);
        core.manager.RunKeepAlivePass();
        QVERIFY(core.control.sent.empty());
    }

    void connectAttempts_data()
    {
        QTest::addColumn<long>("connectResult");
        QTest::addColumn<int>("attemptsInTwoPasses");
        QTest::newRow("accepted: pending, not tried again") << 100L << 1;
        QTest::newRow("refused 0: tried every pass") << 0L << 2;
        QTest::newRow("refused -1: tried every pass") << -1L << 2;
    }
    void connectAttempts()
    {
        QFETCH(long, connectResult);
        QFETCH(int, attemptsInTwoPasses);
        CoreFixture core;
        CKRHost& host = core.addHost(1, "server");
        host.port = 4000;
        core.control.nextConnectResult = connectResult;
        core.manager.RunConnectionPass();
        QCOMPARE(host.connectionId, qint32(connectResult));
        core.manager.RunConnectionPass();
        QCOMPARE(core.control.calls.filter("Connect server:4000").size(), attemptsInTwoPasses);
        QCOMPARE(core.views.calls("UpdateHostNode").size(), 1 + attemptsInTwoPasses);
    }

    void endOfConnectionResetsHost_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QStringList>("views");
        QTest::addColumn<int>("summaries");
        QTest::newRow("connect failed") << false << QStringList{"UpdateHostNode 1"} << 0;
        QTest::newRow("closed") << true << QStringList{"DisconnectHost 1", "UpdateHostNode 1"} << 1;
    }
    void endOfConnectionResetsHost()
    {
        QFETCH(bool, closed);
        QFETCH(QStringList, views);
        QFETCH(int, summaries);
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        core.control.login(host.connectionId, {{"R_PRIVILEGE", 0x80},
                                               {"R_KEY", 5},
                                               {"R_READ", Rights(1000, {1})},
                                               {"R_WRITE", Rights(1000, {1})},
                                               {"R_EXECUTE", Rights(1000, {1})}});
        core.clearRecords();
        QSignalSpy summary(&core.manager, &CConnectionManager::connectionSummary);
        const long id = host.connectionId;
        if (closed)
            Q_EMIT core.control.OnClose(id);
        else
            Q_EMIT core.control.OnConnectFailed(id);
        QCOMPARE(host.connected, 0);
        QCOMPARE(host.connectionId, 0);
        QCOMPARE(host.privilegeMask, 0u);
        QCOMPARE(host.key, 0);
        QVERIFY(!host.hasReadRight(1));
        QCOMPARE(core.views.log, views);
        QCOMPARE(summary.size(), summaries);
        core.manager.RunConnectionPass(); // idle again: the next pass connects it
        QCOMPARE(core.control.calls.filter("Connect ").size(), 1);
    }

    void reconnectDisconnectsThenWaitsForTheClose()
    {
        CoreFixture core;
        CKRHost& host = core.connectedHost();
        const long id = host.connectionId;
        core.manager.ReconnectHost(host);
        QCOMPARE(core.control.calls, QStringList{QStringLiteral("Disconnect %1").arg(id)});
        Q_EMIT core.control.OnClose(id);
        core.manager.RunConnectionPass();
        QCOMPARE(core.control.calls.filter("Connect ").size(), 1);
    }

    void connectionSummary()
    {
        CoreFixture core;
        QSignalSpy summary(&core.manager, &CConnectionManager::connectionSummary);
        core.manager.SendConnectionSummary();
        CKRHost& first = core.addHost(1);
        CKRHost& second = core.addHost(2);
        core.manager.TryConnect(first);
        core.manager.TryConnect(second);
        Q_EMIT core.control.OnConnected(first.connectionId);
        Q_EMIT core.control.OnConnected(second.connectionId);
        Q_EMIT core.control.OnClose(first.connectionId);
        core.manager.RemoveHost(1);
        QList<int> states;
        for (const auto& args : summary)
            states << args.at(0).toInt();
        // none, add 1, add 2, one of two, both, one of two, host 1 removed: all connected
        QCOMPARE(states, (QList<int>{2, 2, 2, 1, 0, 1, 0}));
    }

    void addHostRefusesNegativeAndDuplicateIds()
    {
        CoreFixture core;
        QVERIFY(core.manager.AddHost(std::make_unique<CKRHost>(3)));
        QVERIFY(!core.manager.AddHost(std::make_unique<CKRHost>(3)));
        QVERIFY(!core.manager.AddHost(std::make_unique<CKRHost>(-1)));
        QCOMPARE(core.manager.hosts().size(), 1);
        QCOMPARE(core.views.log, QStringList{"UpdateHostNode 3"});
    }

    void removeHostReleasesEverything()
    {
        CoreFixture core;
        CKRHost& host = core.connectedHost(3);
        const long id = host.connectionId;
        core.manager.RemoveHost(3);
        QVERIFY(!core.manager.FindHostById(3));
        QCOMPARE(core.control.disconnected, std::vector<long>{id});
        QCOMPARE(core.views.log, (QStringList{"DisconnectHost 3", "RemoveHostNode 3"}));
        Q_EMIT core.control.OnClose(id); // the late close of a removed host is ignored
        QCOMPARE(core.control.disconnected.size(), size_t(1));
    }

    void applyHostSettings()
    {
        CoreFixture core;
        CKRHost* added =
            core.manager.ApplyHostSettings(nullptr, {"Gate", "gate.local", "op", "pw", 5555});
        QVERIFY(added);
        QCOMPARE(added->hostId, 1);
        QCOMPARE(core.views.log, (QStringList{"UpdateHostNode 1", "SortHostNodes"}));
        core.manager.TryConnect(*added);
        const long id = added->connectionId;
        core.clearRecords();

        CKRHost* edited =
            core.manager.ApplyHostSettings(added, {"Gate 2", "gate2", "op2", "pw2", 6000});
        QCOMPARE(edited, added);
        QCOMPARE(core.control.calls, QStringList{QStringLiteral("Disconnect %1").arg(id)});
        Q_EMIT core.control.OnConnectFailed(id);
        core.manager.RunConnectionPass();
        QVERIFY(core.control.calls.contains("Connect gate2:6000"));

        const auto saved = HostListFile::Load(core.manager.hostListPath());
        QVERIFY(saved == (std::vector<HostListEntry>{{1, "Gate 2", "op2", "pw2", "gate2", 6000}}));
    }

    void startConnectsAtOnceAndStopSavesAndReleases()
    {
        CoreFixture core;
        QVERIFY(HostListFile::Save(core.manager.hostListPath(),
                                   {{1, "a", "", "", "h1", 1}, {2, "b", "", "", "h2", 2}}));
        core.manager.Start();
        QCOMPARE(core.views.log,
                 (QStringList{"UpdateHostNode 1", "UpdateHostNode 2", "SortHostNodes"}));
        QTRY_COMPARE(core.control.calls.filter("Connect ").size(), 2); // timer 1 at 0 ms
        core.manager.RemoveHost(2);
        core.clearRecords();

        core.manager.Stop();
        QVERIFY(core.manager.hosts().isEmpty());
        QCOMPARE(core.views.log, (QStringList{"DisconnectHost 1", "RemoveHostNode 1"}));
        QCOMPARE(core.control.disconnected.size(), size_t(1));
        QVERIFY(HostListFile::Load(core.manager.hostListPath()) ==
                (std::vector<HostListEntry>{{1, "a", "", "", "h1", 1}}));
    }

    // With krnotify.perf on, a host's burst is logged once it has been quiet for a second:
    // the messages from the login to the last one, and the time between them.
    void configurationBurstIsLoggedOnceQuiet()
    {
        const PerfLogCapture perf;
        ManualTickSource ticks(5000);
        ConfigurationMeter meter(ticks);
        meter.ConfigurationHandled(1); // before any login: not a burst
        meter.LoginAccepted(1);
        meter.LoginAccepted(2);
        for (int step : {100, 150}) {
            ticks.advance(quint32(step));
            meter.ConfigurationHandled(1);
        }
        meter.HostClosed(2); // closed: never reported
        ticks.advance(ConfigurationMeter::kQuietMs - 1);
        meter.LogFinishedBursts(); // not quiet long enough yet
        ticks.advance(1);
        meter.LogFinishedBursts();
        meter.LogFinishedBursts();
        QCOMPARE(perf.logged().size(), 1);
        QVERIFY2(
            perf.logged()[0].startsWith("host 1 configuration complete: 2 messages in 0.250 s"),
            qPrintable(perf.logged()[0]));
    }

    // Why a host is down, and when it was last connected (and logged in).
    void hostSaysWhyItIsDown_data()
    {
        using End = ClientControl::EndReason;
        using Down = CKRHost::DownReason;
        QTest::addColumn<QString>("story");     // what happens to an idle host
        QTest::addColumn<End>("end");           // what the control says when it ends
        QTest::addColumn<Down>("reason");       // what the host then says
        QTest::addColumn<bool>("wasConnected"); // last connected is known
        QTest::newRow("refused") << "attempt fails" << End::Refused << Down::Refused << false;
        QTest::newRow("time-out") << "attempt fails" << End::TimedOut << Down::NoAnswer << false;
        QTest::newRow("name not found")
            << "attempt fails" << End::HostNotFound << Down::NameNotFound << false;
        QTest::newRow("network") << "attempt fails" << End::NetworkError << Down::NetworkError
                                 << false;
        QTest::newRow("login refused")
            << "login refused" << End::Requested << Down::LoginRefused << false;
        QTest::newRow("login refused, then the host closes")
            << "login refused" << End::ClosedByHost << Down::LoginRefused << false;
        QTest::newRow("keep-alive lost")
            << "keep-alive lost" << End::Requested << Down::KeepAliveLost << true;
        QTest::newRow("closed by the host")
            << "logged in, closed" << End::ClosedByHost << Down::ConnectionLost << true;
        QTest::newRow("bad data") << "logged in, closed" << End::BadData << Down::ConnectionLost
                                  << true;
        QTest::newRow("reconnect asked by the operator")
            << "logged in, closed" << End::Requested << Down::None << true;
    }
    void hostSaysWhyItIsDown()
    {
        QFETCH(QString, story);
        QFETCH(ClientControl::EndReason, end);
        QFETCH(CKRHost::DownReason, reason);
        QFETCH(bool, wasConnected);
        CoreFixture core;
        QDateTime now(QDate(2026, 12, 10), QTime(3, 57, 9));
        core.manager.setWallClock([&now] { return now; });
        CKRHost& host = core.addHost(1);
        core.manager.TryConnect(host);
        const long id = host.connectionId;
        QSignalSpy status(&core.manager, &CConnectionManager::hostStatusChanged);
        core.control.endReason = end;
        if (story == "attempt fails") {
            Q_EMIT core.control.OnConnectFailed(id);
        } else {
            Q_EMIT core.control.OnConnected(id);
            core.control.login(id, {{"R_RESULT", story == "login refused" ? 1 : 0}});
            if (story == "keep-alive lost") {
                core.manager.RunKeepAlivePass(); // asks
                core.ticks.advance(CConnectionManager::kKeepAliveTimeout + 1);
                core.manager.RunKeepAlivePass(); // no answer: reconnect
            } else if (story == "logged in, closed") {
                core.manager.ReconnectHost(host); // the host or the operator ends it
            }
            QCOMPARE(core.control.disconnected, std::vector<long>{id});
            now = now.addSecs(25);
            Q_EMIT core.control.OnClose(id);
        }
        QCOMPARE(host.connected, 0);
        QCOMPARE(host.downReason, reason);
        QCOMPARE(host.lastConnected, wasConnected ? now : QDateTime());
        QVERIFY(status.count() > 0);

        // Connected again: no reason any more, the last connection is remembered.
        core.manager.TryConnect(host);
        Q_EMIT core.control.OnConnected(host.connectionId);
        QCOMPARE(host.downReason, CKRHost::DownReason::None);
        QCOMPARE(host.lastConnected, wasConnected ? now : QDateTime());
    }
};

QTEST_GUILESS_MAIN(TestConnectionManager)
#include "tst_ConnectionManager.moc"
