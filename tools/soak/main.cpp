// soak: runs the operator program for a while against ten simulated hosts that send events at
// a steady rate while faults are injected at random, then prints what was sent, shown and
// lost. Exit status 0: nothing the program received is missing and it never crashed; 1: the
// soak failed; 2: bad options or a program that could not start.
#include "SoakRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

int fail(const QString& text)
{
    QTextStream(stderr) << "soak: " << text << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("soak"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Fault soak of KRNotify: simulated hosts send events while faults are injected; the "
        "table printed at the end compares what the program received with what it listed "
        "(docs/soak.md)."));
    parser.addHelpOption();
    const QCommandLineOption minutesOpt("minutes", "How long to run (default 2).", "M", "2");
    const QCommandLineOption hostsOpt("hosts", "Simulated hosts (default 10).", "N", "10");
    const QCommandLineOption rateOpt("rate", "Events per second from each host (default 1).", "R",
                                     "1");
    const QCommandLineOption seedOpt("seed", "Seed of the fault plan (default: a random one).",
                                     "S");
    const QCommandLineOption workOpt("work",
                                     "Work folder, kept afterwards (default: a temporary one, "
                                     "kept only when the soak fails).",
                                     "DIR");
    const QCommandLineOption krnotifyOpt("krnotify", "The operator program.", "FILE",
                                         QStringLiteral(SOAK_KRNOTIFY));
    const QCommandLineOption simOpt("krhost-sim", "The host simulator.", "FILE",
                                    QStringLiteral(SOAK_KRHOST_SIM));
    const QCommandLineOption camOpt("krcam-sim", "The test camera.", "FILE",
                                    QStringLiteral(SOAK_KRCAM_SIM));
    const QCommandLineOption picturesOpt("pictures", "Folder of JPEG snapshots the hosts serve.",
                                         "DIR", QStringLiteral(SOAK_PICTURES));
    parser.addOptions({minutesOpt, hostsOpt, rateOpt, seedOpt, workOpt, krnotifyOpt, simOpt, camOpt,
                       picturesOpt});
    parser.process(app);

    bool ok = false;
    Soak::Settings settings;
    const double minutes = parser.value(minutesOpt).toDouble(&ok);
    if (!ok || !(minutes > 0 && minutes <= 24 * 60))
        return fail("--minutes needs a number above 0, at most 1440");
    settings.seconds = minutes * 60;
    settings.hosts = parser.value(hostsOpt).toInt(&ok);
    if (!ok || settings.hosts < 1 || settings.hosts > 100)
        return fail("--hosts needs 1 to 100");
    settings.eventsPerSecond = parser.value(rateOpt).toDouble(&ok);
    if (!ok || !(settings.eventsPerSecond >= 0.01 && settings.eventsPerSecond <= 100))
        return fail("--rate needs 0.01 to 100");
    settings.seed = parser.isSet(seedOpt) ? parser.value(seedOpt).toUInt(&ok)
                                          : QRandomGenerator::global()->generate();
    if (!ok)
        return fail("--seed needs a number");
    settings.pictureDir = parser.value(picturesOpt);

    QTemporaryDir temporary(QDir::temp().filePath("krnotify-soak.XXXXXX"));
    const bool ownWork = !parser.isSet(workOpt);
    const QString work = ownWork ? temporary.path() : parser.value(workOpt);
    if ((ownWork && !temporary.isValid()) || !QDir().mkpath(work))
        return fail("cannot make the work folder " + work);

    Soak::SoakRun run(
        settings, {parser.value(krnotifyOpt), parser.value(simOpt), parser.value(camOpt)}, work);
    QObject::connect(&run, &Soak::SoakRun::finished, &app, &QCoreApplication::quit);
    QString error;
    if (!run.start(&error))
        return fail(error);
    app.exec();

    std::fputs(qPrintable(run.report().text()), stdout);
    const bool passed = run.report().failures().isEmpty();
    if (!passed && ownWork) {
        temporary.setAutoRemove(false);
        QTextStream(stderr) << "soak: logs kept in " << work << Qt::endl;
    }
    return passed ? 0 : 1;
}
