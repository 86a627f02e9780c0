// krhost-sim: plays one or more hosts for the operator program, its tests and integrators.
#include "MessageLog.h"
#include "Scenario.h"
#include "SimHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <utility>

namespace {

int fail(const QString& text)
{
    QTextStream(stderr) << "krhost-sim: " << text << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krhost-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated access-control host for KRNotify (protocol: docs/protocol.md, scenario "
        "files: docs/scenario.md).\nPrints \"port N\" on stdout for every listening host, "
        "first thing, in order; everything else goes to stderr."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(
        "port",
        "Listen on port N; 0 picks a free port. Repeat to run several hosts: the i-th port "
        "plays the i-th scenario host (the last one when there are fewer). Default: the "
        "scenario's \"port\", else 0.",
        "N");
    const QCommandLineOption listenOpt("listen", "Address to listen on (default 127.0.0.1).",
                                       "ADDR", "127.0.0.1");
    const QCommandLineOption scenarioOpt(
        "scenario",
        "Scenario file (JSON). Without it: one host \"Simulated Host\" with user "
        "operator / demo, one controller and one door.",
        "FILE");
    const QCommandLineOption logOpt(
        "log",
        "Write every received message as a JSON line: time, host, port, conn, cmd, "
        "fields with their types (snapshot requests as cmd SNAPSHOT_REQUEST).",
        "FILE");
    const QCommandLineOption traceOpt(
        "trace",
        "Write, in the order they happen, every message received and sent as --log's lines with "
        "\"dir\" \"in\" or \"out\", every fault (\"dir\" \"fault\") and every end of a "
        "monitor connection (\"dir\" \"closed\", \"why\").",
        "FILE");
    const QCommandLineOption doorOpenOpt(
        "door-open-seconds", "How long an unlocked door stays open (default 5).", "S", "5");
    const QCommandLineOption noAliveOpt("no-alive", "Fault: never answer CHECK_ALIVE.");
    const QCommandLineOption refuseOpt("refuse-login", "Fault: refuse every login (R_RESULT 2).");
    const QCommandLineOption dropOpt("drop-after",
                                     "Fault: drop each monitor connection S seconds after "
                                     "its login.",
                                     "S");
    const QCommandLineOption malformedOpt(
        "malformed-after", "Fault: send a malformed frame S seconds after each login.", "S");
    const QCommandLineOption snapshotOpt(
        "snapshot-fault",
        "Fault in snapshot downloads: normal, refuse (accept flag 0), stall (half the picture, "
        "then silence), cut (half the picture, then close), huge (announce 5000000 bytes).",
        "MODE", "normal");
    parser.addOptions({portOpt, listenOpt, scenarioOpt, logOpt, traceOpt, doorOpenOpt, noAliveOpt,
                       refuseOpt, dropOpt, malformedOpt, snapshotOpt});
    parser.process(app);

    QList<Sim::Host> hosts;
    if (parser.isSet(scenarioOpt)) {
        QString error;
        const auto loaded = Sim::loadScenario(parser.value(scenarioOpt), &error);
        if (!loaded)
            return fail(error);
        hosts = *loaded;
    } else {
        hosts << Sim::defaultHost();
    }

    SimFaults faults;
    faults.noAlive = parser.isSet(noAliveOpt);
    faults.refuseLogin = parser.isSet(refuseOpt);
    bool ok = true;
    if (parser.isSet(dropOpt) && (faults.dropAfter = parser.value(dropOpt).toDouble(&ok), !ok))
        return fail("--drop-after needs seconds");
    if (parser.isSet(malformedOpt) &&
        (faults.malformedAfter = parser.value(malformedOpt).toDouble(&ok), !ok))
        return fail("--malformed-after needs seconds");
    for (double after : {faults.dropAfter, faults.malformedAfter})
        if (after > 86400)
            return fail("fault delays must be at most 86400 s");
    const auto mode = SnapshotSession::modeFromName(parser.value(snapshotOpt));
    if (!mode)
        return fail("unknown --snapshot-fault " + parser.value(snapshotOpt));
    faults.snapshot = *mode;
    const double doorOpen = parser.value(doorOpenOpt).toDouble(&ok);
    if (!ok || !(doorOpen >= 0 && doorOpen <= 3600)) // "nan" parses as a number too
        return fail("--door-open-seconds needs 0 to 3600");
    const QHostAddress address(parser.value(listenOpt));
    if (address.isNull())
        return fail("--listen needs an IP address");

    MessageLog log;
    MessageLog trace;
    for (const auto& [option, file] : {std::pair{&logOpt, &log}, std::pair{&traceOpt, &trace}}) {
        QString error;
        if (parser.isSet(*option) && !file->open(parser.value(*option), &error))
            return fail(error);
    }

    QList<int> ports;
    for (const QString& p : parser.values(portOpt)) {
        const int port = p.toInt(&ok);
        if (!ok || port < 0 || port > 65535)
            return fail("bad --port " + p);
        ports << port;
    }
    const int count = qMax(hosts.size(), ports.size());
    QList<SimHost*> running;
    for (int n = 0; n < count; ++n) {
        const Sim::Host& h = hosts.at(qMin(n, int(hosts.size()) - 1));
        const int port = n < ports.size() ? ports[n] : qMax(0, h.port);
        auto* host = new SimHost(h, faults, &log, &trace, int(doorOpen * 1000), &app);
        QString error;
        if (!host->listen(address, quint16(port), &error))
            return fail(QStringLiteral("cannot listen on %1:%2: %3")
                            .arg(address.toString())
                            .arg(port)
                            .arg(error));
        running << host;
    }
    for (SimHost* host : running)
        std::printf("port %u\n", unsigned(host->port()));
    std::fflush(stdout);
    return app.exec();
}
