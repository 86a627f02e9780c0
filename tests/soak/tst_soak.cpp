#include "ProgramLog.h"
#include "SimulatorTrace.h"
#include "SoakPlan.h"
#include "SoakReport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Soak::EventKey;

namespace {

constexpr int kPort = 4000;
const qint64 kStartMs = QDateTime(QDate(2026, 1, 5), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch();

// A trace written in short: "SECONDS CONN WHAT [ARGS]", WHAT one of
//   login / refused      the host's login reply, accepted or refused
//   event TYPE ID        an event notification sent
//   answer / alive       the host's keep-alive answer / the program's keep-alive request
//   snapshot ID          the program asks for an event's snapshot (on its own connection)
//   closed               the connection ended
//   fault NAME           a fault took effect
QJsonObject traceLine(const QString& text)
{
    const QStringList w = text.split(' ');
    const auto intField = [](int v) { return QJsonObject{{"i", v}}; };
    QJsonObject line{
        {"time", QDateTime::fromMSecsSinceEpoch(kStartMs + qint64(w[0].toDouble() * 1000), Qt::UTC)
                     .toString(Qt::ISODateWithMs)},
        {"port", kPort},
        {"conn", w[1].toInt()}};
    const QString what = w[2];
    const auto message = [&](const char* dir, const char* cmd, const QJsonObject& fields = {}) {
        line.insert("dir", dir);
        line.insert("cmd", cmd);
        line.insert("fields", fields);
    };
    if (what == "login" || what == "refused")
        message("out", "REMOTEMONITOR_LOGIN", {{"R_RESULT", intField(what == "login" ? 0 : 1)}});
    else if (what == "event")
        message("out", "KRNOTIFY_EVENT",
                {{"L_TYPE", intField(w[3].toInt())}, {"L_ID", intField(w[4].toInt())}});
    else if (what == "answer")
        message("out", "CHECK_ALIVE");
    else if (what == "alive")
        message("in", "CHECK_ALIVE");
    else if (what == "snapshot")
        message("in", "SNAPSHOT_REQUEST", {{"L_ID", intField(w[3].toInt())}});
    else if (what == "closed")
        line.insert("dir", "closed");
    else if (what == "fault")
        line.insert("dir", "fault"), line.insert("fault", w[3]);
    return line;
}

Soak::SimulatorTrace traceOf(const QStringList& lines)
{
    Soak::SimulatorTrace trace;
    for (const QString& l : lines)
        trace.add(traceLine(l));
    return trace;
}

// Log ids of the events in a set (log type 2 unless said).
QList<int> idsOf(const std::set<EventKey>& keys)
{
    QList<int> ids;
    for (const EventKey& k : keys)
        ids << (k.logType == 2 ? k.logId : -k.logId);
    return ids;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownReceived_data();
    void knownReceived();
    void downAfterFault_data();
    void downAfterFault();
    void reportFindsWhatIsMissing();
    void planCoversEveryFault();
    void planIsASimulatorScenario();
};

void TestSoak::knownReceived_data()
{
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QList<int>>("known"); // log ids; type 1 written negative

    QTest::newRow("answered, then asked again")
        << QStringList{"0 1 login", "1 1 event 2 1", "2 1 event 1 2",
                       "3 1 alive", "3 1 answer",    "13 1 alive"}
        << QList<int>{-2, 1} << QList<int>{-2, 1};
    QTest::newRow("written after the last answer read")
        << QStringList{"0 1 login",   "1 1 event 2 1",  "3 1 alive",
                       "3 1 answer",  "4 1 event 2 2",  "13 1 alive",
                       "13 1 answer", "14 1 event 2 3", "15 1 closed"}
        << QList<int>{1, 2, 3} << QList<int>{1};
    QTest::newRow("the first request proves nothing")
        << QStringList{"0 1 login", "1 1 event 2 1", "10 1 alive"} << QList<int>{1} << QList<int>{};
    QTest::newRow("an answer never read")
        << QStringList{"0 1 login", "1 1 event 2 1", "10 1 alive", "10 1 answer", "12 1 closed"}
        << QList<int>{1} << QList<int>{};
    QTest::newRow("a snapshot request proves its event and those before it")
        << QStringList{"0 1 login",     "1 1 event 2 1", "2 1 event 2 2",
                       "3 1 event 2 3", "3.5 1 closed",  "4 0 snapshot 2"}
        << QList<int>{1, 2, 3} << QList<int>{1, 2};
    QTest::newRow("each connection on its own")
        << QStringList{"0 1 login",     "1 1 event 2 1", "2 1 closed", "3 2 login",
                       "4 2 event 2 2", "5 2 alive",     "5 2 answer", "15 2 alive"}
        << QList<int>{1, 2} << QList<int>{2};
    QTest::newRow("nothing is sent before the login is accepted")
        << QStringList{"0 1 refused", "1 1 event 2 1", "1 1 alive", "1 1 answer", "2 1 alive"}
        << QList<int>{} << QList<int>{};
}

void TestSoak::knownReceived()
{
    QFETCH(QStringList, trace);
    QFETCH(QList<int>, sent);
    QFETCH(QList<int>, known);
    const Soak::SimulatorTrace t = traceOf(trace);
    QCOMPARE(idsOf(t.sent()), sent);
    QCOMPARE(idsOf(t.knownReceived()), known);
}

void TestSoak::downAfterFault_data()
{
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<double>("down");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("silence"); // -1: no silence ended

    QTest::newRow("dropped, back after 3 s")
        << QStringList{"0 1 login", "10 0 fault drop", "10 1 closed", "13 2 login"} << 3.0 << "drop"
        << -1.0;
    QTest::newRow("a bad frame: down from the program's close")
        << QStringList{"0 1 login", "10 0 fault malformed", "10.5 1 closed", "12 2 login"} << 1.5
        << "malformed" << -1.0;
    QTest::newRow("refused logins: counted from when they are accepted again")
        << QStringList{"0 1 login",
                       "20 0 fault refuse_login",
                       "20.1 0 fault drop",
                       "20.1 1 closed",
                       "23 2 refused",
                       "23 2 closed",
                       "26 3 refused",
                       "26 3 closed",
                       "28 0 fault accept_login",
                       "29 4 login"}
        << 1.0 << "refuse_login" << -1.0;
    QTest::newRow("silent: over when the program drops the connection")
        << QStringList{"0 1 login", "40 0 fault silent", "65 1 closed", "67.5 2 login"} << 2.5
        << "silent" << 25.0;
    QTest::newRow("never back: down until the end (100 s)")
        << QStringList{"0 1 login", "70 0 fault drop", "70 1 closed"} << 30.0 << "drop" << -1.0;
    QTest::newRow("a fault that did not take the host down")
        << QStringList{"0 1 login", "10 0 fault malformed"} << 0.0 << "" << -1.0;
}

void TestSoak::downAfterFault()
{
    QFETCH(QStringList, trace);
    QFETCH(double, down);
    QFETCH(QString, fault);
    QFETCH(double, silence);
    const Soak::SimulatorTrace t = traceOf(trace);
    const auto longest = t.longestDownAfterFault(kStartMs + 100000);
    QCOMPARE(longest.seconds, down);
    QCOMPARE(longest.fault, fault);
    QCOMPARE(t.longestSilenceSeconds(), silence);
}

// An event the program is known to have read but did not list fails the soak; so does an
// event listed that no host sent, and a host id the soak never added.
void TestSoak::reportFindsWhatIsMissing()
{
    const Soak::SimulatorTrace trace =
        traceOf({"0 1 login", "1 1 event 2 1", "2 1 event 2 2", "3 1 event 1 3", "4 1 alive",
                 "4 1 answer", "14 1 alive"});
    Soak::ProgramLog program;
    program.setHostPort(7, kPort);
    for (const char* line :
         {"08:00:01.000 krnotify.perf: event host 7 type 2 log 1: decoded at 1 us, row added +5 us",
          "08:00:02.000 krnotify.perf: event host 7 type 1 log 3: decoded at 2 us, row added +5 us",
          "08:00:03.000 krnotify.perf: event host 7 type 2 log 9: decoded at 3 us, row added +5 us",
          "08:00:04.000 krnotify.perf: event host 8 type 2 log 2: decoded at 4 us, row added +5 us",
          "08:00:05.000 krnotify.connection: event host 7 type 2 log 2: not a performance line",
          "08:00:06.000 krnotify.perf: counters: 4 events received, 4 rows added, 0 rows pushed "
          "out, 4 alarms started"})
        program.addLine(line);

    Soak::RunFigures run;
    run.hosts = 1;
    const Soak::SoakReport report(trace, program, run);
    QCOMPARE(report.missing(), (std::vector<EventKey>{{kPort, 2, 2}}));
    QCOMPARE(report.unexpected(), (std::vector<EventKey>{{0, 2, 2}, {kPort, 2, 9}}));
    QCOMPARE(program.alarmsStarted(), std::optional<quint64>(4));
    QCOMPARE(report.failures().size(), 2);
    QVERIFY(report.text().contains("result: FAILED"));

    Soak::ProgramLog complete;
    complete.setHostPort(7, kPort);
    for (int id : {1, 2, 3})
        complete.addLine(QStringLiteral("08:00:01.000 krnotify.perf: event host 7 type %1 log %2: ")
                             .arg(id == 3 ? 1 : 2)
                             .arg(id)
                             .toUtf8());
    complete.addLine("08:00:09.000 krnotify.perf: counters: 3 events received, 3 rows added, 0 "
                     "rows pushed out, 3 alarms started");
    const Soak::SoakReport passed(trace, complete, run);
    QCOMPARE(passed.failures(), QStringList());
    QVERIFY(passed.text().contains("result: passed"));

    // Every event shown starts the alarm.
    complete.addLine("08:00:19.000 krnotify.perf: counters: 3 events received, 3 rows added, 0 "
                     "rows pushed out, 2 alarms started");
    const Soak::SoakReport silent(trace, complete, run);
    QCOMPARE(silent.failures(), QStringList{"3 events shown started only 2 alarms"});
}

// Ten hosts for two minutes meet every kind of fault, one at a time per host, each over with
// its host back before the end; the same seed plans the same soak.
void TestSoak::planCoversEveryFault()
{
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u}) {
        Soak::Settings settings;
        settings.seed = seed;
        const Soak::Plan plan = Soak::Plan::make(settings);
        std::set<Soak::FaultKind> kinds;
        std::map<int, double> hostFreeAt;
        for (const Soak::PlannedFault& f : plan.faults()) {
            kinds.insert(f.kind);
            QVERIFY2(f.at >= hostFreeAt[f.host], qPrintable(QString::number(seed)));
            hostFreeAt[f.host] = f.at + Soak::Plan::recoverySeconds(f.kind);
            QVERIFY(hostFreeAt[f.host] <= settings.seconds);
        }
        QCOMPARE(int(kinds.size()), Soak::kFaultKinds);
        QVERIFY(!plan.cameraDeaths().empty());
        QCOMPARE(QJsonDocument(Soak::Plan::make(settings).scenario()),
                 QJsonDocument(plan.scenario()));
    }
}

// The simulator takes the plan's scenario as it is (pictures included), one host per port.
void TestSoak::planIsASimulatorScenario()
{
    QTemporaryDir dir;
    Soak::Settings settings;
    settings.hosts = 3;
    settings.pictureDir = qEnvironmentVariable("KRNOTIFY_SOURCE_DIR") + "/resources/demo/snapshots";
    const QJsonObject scenario = Soak::Plan::make(settings).scenario();
    const QJsonArray timeline =
        scenario.value("hosts").toArray().at(0).toObject().value("timeline").toArray();
    QVERIFY(
        timeline.at(0).toObject().value("variants").toArray().at(0).toObject().contains("image"));
    QFile file(dir.filePath("scenario.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(scenario).toJson());
    file.close();

    QProcess sim;
    sim.start(qEnvironmentVariable("KRNOTIFY_BINARY_DIR") + "/tools/krhost-sim/krhost-sim",
              {"--scenario", file.fileName(), "--port", "0", "--port", "0", "--port", "0"});
    QVERIFY(sim.waitForStarted());
    QByteArray out;
    QVERIFY(QTest::qWaitFor(
        [&] {
            out += sim.readAllStandardOutput();
            return out.count("port ") == 3 || sim.state() == QProcess::NotRunning;
        },
        10000));
    QCOMPARE(out.count("port "), 3);
    sim.kill();
    sim.waitForFinished();
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
