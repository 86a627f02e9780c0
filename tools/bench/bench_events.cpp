// The event stream of a busy site: 10 hosts, each sending 200 events a second for 20 seconds,
// every 50th with a picture, to the program (its window shown) and, in the same run, to a bare
// client control that only decodes them. The latency is from the host's send time (the event's
// T_UTC, stamped as it is sent) to the row being in the program's list and the alarm started,
// as the program reports them (krnotify.perf); the bare client's is to the message decoded.
//
//   bench_events [SECONDS]     default 20

#include "BenchProcesses.h"
#include "BenchTiming.h"
#include "harness/SimProcess.h"
#include "harness/TrayScreen.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

constexpr int kHosts = 10;
constexpr int kEventsPerSecond = 200;
constexpr int kPictureEvery = 50;
constexpr double kStartSeconds = 3.0; // after the first login: time for both clients to log in
constexpr int kLogIdsPerHost = 10000000;

qint64 OleDateToUs(double days)
{
    return qint64((days - 25569.0) * 86400e6);
}

// Two timeline steps 5 ms apart, each every 10 ms (the simulator's shortest period), make 200
// events a second; one of every 25 runs of the first step carries the picture.
QByteArray Scenario(int seconds)
{
    const int runsPerStep = seconds * kEventsPerSecond / 2;
    QJsonArray pictureVariants{QJsonObject{{"image", "picture.jpg"}}};
    for (int i = 1; i < kPictureEvery / 2; ++i)
        pictureVariants.append(QJsonObject{});
    QJsonArray hosts;
    for (int h = 0; h < kHosts; ++h) {
        QJsonArray doors;
        for (int d = 0; d < 4; ++d)
            doors.append(QJsonObject{{"id", d}, {"name", QStringLiteral("Door %1").arg(d + 1)}});
        const QJsonObject step{{"at", kStartSeconds},  {"every", 0.01},
                               {"count", runsPerStep}, {"do", "event"},
                               {"controller", 1},      {"door", 0},
                               {"message", 3},         {"variants", pictureVariants}};
        QJsonObject second = step;
        second["at"] = kStartSeconds + 0.005;
        second["door"] = 1;
        second.remove("variants");
        hosts.append(QJsonObject{
            {"name", QStringLiteral("Site %1").arg(h + 1)},
            {"guid", QStringLiteral("{bench-%1}").arg(h)},
            {"first_log_id", (h + 1) * kLogIdsPerHost},
            {"users", QJsonArray{QJsonObject{{"name", "operator"},
                                             {"password", "demo"},
                                             {"privilege", 0x2080},
                                             {"rights", "all"}}}},
            {"groups", QJsonArray{QJsonObject{{"id", 1}, {"name", "Lobby"}}}},
            {"controllers", QJsonArray{QJsonObject{
                                {"id", 1}, {"group", 1}, {"name", "Entrance"}, {"doors", doors}}}},
            {"timeline", QJsonArray{step, second}}});
    }
    return QJsonDocument(QJsonObject{{"hosts", hosts}}).toJson(QJsonDocument::Compact);
}

void PrintLatency(const char* who, int count, const std::vector<double>& ms, double overBare)
{
    std::printf("events:   %-16s %6d events  p50 %7.2f ms  p99 %7.2f ms  max %8.2f ms", who, count,
                Bench::Percentile(ms, 0.5), Bench::Percentile(ms, 0.99),
                Bench::Percentile(ms, 1.0));
    if (overBare >= -1e9)
        std::printf("  p99 %+.2f ms over bare", overBare);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Bench::QuietLogs();
    const int seconds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    const int expected = kHosts * seconds * kEventsPerSecond;

    QTemporaryDir dir;
    QFile::copy(QStringLiteral(KRNOTIFY_RESOURCES "/NoImage.jpg"),
                dir.filePath(QStringLiteral("picture.jpg")));
    QFile scenario(dir.filePath(QStringLiteral("site.json")));
    if (!scenario.open(QIODevice::WriteOnly) || scenario.write(Scenario(seconds)) < 0)
        return 1;
    scenario.close();
    const QString received = dir.filePath(QStringLiteral("received.jsonl"));
    SimProcess sim;
    if (!sim.start(kHosts, {QStringLiteral("--scenario"), scenario.fileName(),
                            QStringLiteral("--log"), received})) {
        std::fprintf(stderr, "events: the host simulator did not start\n");
        return 1;
    }

    TrayScreen screen;
    QProcessEnvironment display = screen.environment();
    if (!screen.isValid()) {
        display = QProcessEnvironment();
        display.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    Bench::ProgramRun program(sim.ports, {}, display);

    // The bare client notes each event's send time (its T_UTC) and its own latency.
    QHash<qint32, qint64> sentAt;
    std::vector<double> bareMs;
    double cpuAtFirst = 0.0;
    qint64 firstAt = 0;
    Bench::BareClient bare(sim.ports);
    bare.onMessage = [&](const QString& command, CTnClient& control) {
        if (command != QLatin1String("KRNOTIFY_EVENT"))
            return;
        const qint64 now = PerfLog::NowUs();
        const qint64 sent = OleDateToUs(control.GetDateField(QStringLiteral("T_UTC")));
        if (sentAt.isEmpty()) {
            firstAt = now;
            cpuAtFirst = program.CpuSeconds();
        }
        sentAt.insert(qint32(control.GetIntField(QStringLiteral("L_ID"))), sent);
        bareMs.push_back((now - sent) / 1000.0);
    };
    const QRegularExpression eventLine(QStringLiteral(
        R"(event host \d+ type -?\d+ log (\d+): decoded at (\d+) us, row added \+(-?\d+) us, alarm started \+(-?\d+) us)"));
    const int timeoutMs = int((kStartSeconds + seconds) * 1000) + 30000;
    Bench::RunUntil(
        [&] { return int(bareMs.size()) >= expected && program.Count(eventLine) >= expected; },
        timeoutMs);
    const double streamSeconds = (PerfLog::NowUs() - firstAt) / 1e6;
    const double cpu = program.CpuSeconds() - cpuAtFirst;
    program.Stop();

    std::vector<double> programMs;
    int unmatched = 0;
    for (const QString& line : program.lines()) {
        const QRegularExpressionMatch m = eventLine.match(line);
        if (!m.hasMatch())
            continue;
        const auto sent = sentAt.constFind(m.captured(1).toInt());
        if (sent == sentAt.constEnd()) {
            ++unmatched;
            continue;
        }
        const qint64 alarmAt = m.captured(2).toLongLong() + m.captured(4).toLongLong();
        programMs.push_back((alarmAt - sent.value()) / 1000.0);
    }
    const QRegularExpression longTurn(QStringLiteral(R"(event loop busy for (\d+) ms)"));
    int longTurns = 0, longest = 0;
    for (const QString& line : program.lines()) {
        const QRegularExpressionMatch m = longTurn.match(line);
        if (m.hasMatch()) {
            ++longTurns;
            longest = qMax(longest, m.captured(1).toInt());
        }
    }
    QFile log(received);
    int requested = 0;
    if (log.open(QIODevice::ReadOnly))
        requested = int(log.readAll().count("SNAPSHOT_REQUEST"));

    std::printf("events: %d hosts x %d events/s for %d s: %d events, %d with a picture (%s)\n",
                kHosts, kEventsPerSecond, seconds, expected, expected / kPictureEvery,
                screen.isValid() ? "window shown on Xvfb" : "window shown offscreen");
    PrintLatency("bare client", int(bareMs.size()), bareMs, -1e10);
    PrintLatency("program", int(programMs.size()), programMs,
                 Bench::Percentile(programMs, 0.99) - Bench::Percentile(bareMs, 0.99));
    std::printf("events:   program: %d turns over 16 ms%s, cpu %.0f%% of a core while streaming, "
                "%d pictures requested%s\n",
                longTurns,
                longTurns ? qPrintable(QStringLiteral(" (longest %1 ms)").arg(longest)) : "",
                100.0 * cpu / qMax(0.001, streamSeconds), requested,
                unmatched ? qPrintable(QStringLiteral(", %1 rows unmatched").arg(unmatched)) : "");
    return 0;
}
