// A host's configuration burst as the program meets it at login: 100, 300 and 1 000 controllers
// of 8 doors and 48 inputs, with a recorder of 16 cameras for every 5 controllers, sent by the
// host simulator. The program runs as the operator runs it (window hidden in the tray, then
// shown) and reports the burst itself (krnotify.perf); the baseline is a bare client control
// that only decodes the same frames from the same host in the same run.
//
//   bench_burst [CONTROLLERS...]     default: 100 300 1000

#include "BenchProcesses.h"
#include "BenchTiming.h"
#include "harness/SimProcess.h"
#include "harness/TrayScreen.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

constexpr int kDoors = 8;
constexpr int kInputs = 48;
constexpr int kControllersPerRecorder = 5;
constexpr int kCameras = 16;
constexpr int kGroups = 10;
// Messages per controller: its parameters, input names and status, and each input's and
// door's parameters and status.
constexpr int kMessagesPerController = 3 + 2 * (kDoors + kInputs);
constexpr int kProgramTimeoutMs = 120000;

int Recorders(int controllers)
{
    return qMax(1, controllers / kControllersPerRecorder);
}

int BurstMessages(int controllers)
{
    return 2 + controllers * kMessagesPerController + Recorders(controllers);
}

QByteArray Scenario(int controllers)
{
    const int recorders = Recorders(controllers);
    QJsonArray groups, sites, dvrs;
    for (int g = 1; g <= kGroups; ++g)
        groups.append(QJsonObject{{"id", g}, {"name", QStringLiteral("Building %1").arg(g)}});
    for (int c = 1; c <= controllers; ++c) {
        const int recorder = 1 + (c - 1) % recorders;
        QJsonArray names, inputs, doors;
        for (int i = 0; i < kInputs; ++i) {
            names.append(QStringLiteral("Input %1-%2").arg(c).arg(i + 1));
            inputs.append(QJsonObject{
                {"id", i}, {"video1", QJsonObject{{"dvr", recorder}, {"camera", i % kCameras}}}});
        }
        for (int d = 0; d < kDoors; ++d)
            doors.append(QJsonObject{{"id", d},
                                     {"name", QStringLiteral("Door %1-%2").arg(c).arg(d + 1)},
                                     {"video1", QJsonObject{{"dvr", recorder}, {"camera", d}}}});
        sites.append(QJsonObject{{"id", c},
                                 {"group", 1 + (c - 1) % kGroups},
                                 {"name", QStringLiteral("Controller %1").arg(c)},
                                 {"input_names", names},
                                 {"inputs", inputs},
                                 {"doors", doors}});
    }
    for (int r = 1; r <= recorders; ++r)
        dvrs.append(QJsonObject{{"id", r},
                                {"group", 1 + (r - 1) % kGroups},
                                {"name", QStringLiteral("Recorder %1").arg(r)},
                                {"cameras", kCameras}});
    const QJsonObject user{
        {"name", "operator"}, {"password", "demo"}, {"privilege", 0x2080}, {"rights", "all"}};
    return QJsonDocument(QJsonObject{{"name", "Campus"},
                                     {"users", QJsonArray{user}},
                                     {"groups", groups},
                                     {"controllers", sites},
                                     {"dvrs", dvrs}})
        .toJson(QJsonDocument::Compact);
}

struct Burst
{
    bool finished = false;
    int messages = 0;
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    int reconnects = 0;
};

// The bare client: login reply to the last configuration message.
Burst DecodeOnly(int port, int expected)
{
    Bench::BareClient bare({port});
    Burst burst;
    qint64 lastAt = 0, lastCpu = 0;
    bare.onMessage = [&](const QString&, CTnClient&) {
        if (++burst.messages == expected) {
            lastAt = PerfLog::NowUs();
            lastCpu = PerfLog::ThreadCpuUs();
        }
    };
    burst.finished = Bench::RunUntil([&] { return burst.messages >= expected; }, kProgramTimeoutMs);
    burst.seconds = (lastAt - bare.loginAtUs()) / 1e6;
    burst.cpuSeconds = (lastCpu - bare.loginCpuUs()) / 1e6;
    return burst;
}

// The program's own report of the burst.
Burst Program(int port, const QStringList& arguments, const QProcessEnvironment& screen)
{
    Bench::ProgramRun run({port}, arguments, screen);
    const QRegularExpressionMatch done = run.WaitFor(
        QRegularExpression(QStringLiteral(
            R"(host 1 configuration complete: (\d+) messages in ([\d.]+) s \(cpu ([\d.]+) s\))")),
        kProgramTimeoutMs);
    run.Stop();
    Burst burst;
    burst.finished = done.hasMatch();
    burst.messages = done.captured(1).toInt();
    burst.seconds = done.captured(2).toDouble();
    burst.cpuSeconds = done.captured(3).toDouble();
    burst.reconnects = run.Count(QRegularExpression(QStringLiteral("silent for .* reconnecting")));
    return burst;
}

Burst Median(std::vector<Burst> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Burst& a, const Burst& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

void Print(const char* what, const Burst& burst, const Burst& baseline)
{
    if (!burst.finished) {
        std::printf("burst:   %-22s did not finish within %d s (%d reconnects)\n", what,
                    kProgramTimeoutMs / 1000, burst.reconnects);
        return;
    }
    std::printf("burst:   %-22s %7.3f s  %6.1f us/msg  cpu %7.3f s", what, burst.seconds,
                1e6 * burst.seconds / qMax(1, burst.messages), burst.cpuSeconds);
    if (&burst != &baseline)
        std::printf("  %5.2fx decode (wall), %5.2fx (cpu), %d reconnects",
                    burst.seconds / baseline.seconds, burst.cpuSeconds / baseline.cpuSeconds,
                    burst.reconnects);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Bench::QuietLogs();
    QList<int> sizes;
    for (const QString& arg : app.arguments().mid(1))
        sizes << arg.toInt();
    if (sizes.isEmpty())
        sizes = {100, 300, 1000};

    // Hidden means in the tray, so the program runs on an X screen with one; without Xvfb and
    // trayer it runs offscreen, where "hidden" is minimised (and still painted).
    TrayScreen screen;
    QProcessEnvironment display = screen.environment();
    if (!screen.isValid()) {
        display = QProcessEnvironment();
        display.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        std::printf("burst: no Xvfb with trayer: offscreen, \"hidden\" is minimised\n");
    }

    for (int controllers : sizes) {
        QTemporaryDir dir;
        const QString scenario = dir.filePath(QStringLiteral("site.json"));
        QFile file(scenario);
        if (!file.open(QIODevice::WriteOnly) || file.write(Scenario(controllers)) < 0)
            return 1;
        file.close();
        SimProcess sim;
        if (!sim.start(1, {QStringLiteral("--scenario"), scenario})) {
            std::fprintf(stderr, "burst: the host simulator did not start\n");
            return 1;
        }
        const int port = sim.ports.first();
        const int expected = BurstMessages(controllers);
        std::printf("burst: %d controllers x (%d doors + %d inputs), %d recorders x %d cameras: "
                    "%d messages\n",
                    controllers, kDoors, kInputs, Recorders(controllers), kCameras, expected);
        std::fflush(stdout);

        std::vector<Burst> bare;
        for (int run = 0; run < 3; ++run)
            bare.push_back(DecodeOnly(port, expected));
        const Burst baseline = Median(bare);
        Print("decode only (bare)", baseline, baseline);
        Print("program, hidden", Program(port, {QStringLiteral("/minimize")}, display), baseline);
        Print("program, shown", Program(port, {}, display), baseline);
    }
    return 0;
}
