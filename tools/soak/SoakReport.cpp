#include "SoakReport.h"

#include <QTextStream>

#include <algorithm>
#include <iterator>

namespace Soak {

namespace {

QString mib(qint64 kib)
{
    return kib < 0 ? QStringLiteral("?") : QString::number(double(kib) / 1024.0, 'f', 1);
}

QString keyText(const EventKey& key)
{
    return QStringLiteral("host port %1, log type %2, log id %3")
        .arg(key.port)
        .arg(key.logType)
        .arg(key.logId);
}

QString optionalCount(const std::optional<quint64>& count)
{
    return count ? QString::number(*count) : QStringLiteral("?");
}

} // namespace

SoakReport::SoakReport(const SimulatorTrace& hosts, const ProgramLog& program,
                       const RunFigures& run)
    : m_hosts(hosts), m_program(program), m_run(run), m_knownReceived(hosts.knownReceived())
{
    const std::set<EventKey>& shown = program.shown();
    std::set_difference(m_knownReceived.begin(), m_knownReceived.end(), shown.begin(), shown.end(),
                        std::back_inserter(m_missing));
    std::set_difference(shown.begin(), shown.end(), hosts.sent().begin(), hosts.sent().end(),
                        std::back_inserter(m_unexpected));
}

int SoakReport::lostWithConnections() const
{
    const std::set<EventKey>& shown = m_program.shown();
    return int(std::count_if(m_hosts.sent().begin(), m_hosts.sent().end(), [&](const EventKey& k) {
        return !m_knownReceived.count(k) && !shown.count(k);
    }));
}

QStringList SoakReport::failures() const
{
    QStringList out;
    if (!m_missing.empty())
        out << QStringLiteral("%1 events the program received are not in its list")
                   .arg(m_missing.size());
    if (!m_unexpected.empty())
        out << QStringLiteral("%1 events in the list were never sent").arg(m_unexpected.size());
    if (m_run.crashes > 0 || m_run.crashReports > 0)
        out << QStringLiteral("the program crashed (%1 times, %2 crash reports)")
                   .arg(m_run.crashes)
                   .arg(m_run.crashReports);
    const std::optional<quint64> alarms = m_program.alarmsStarted();
    if (alarms && *alarms < quint64(m_program.eventLines()))
        out << QStringLiteral("%1 events shown started only %2 alarms")
                   .arg(m_program.eventLines())
                   .arg(*alarms);
    if (m_run.exitSeconds < 0)
        out << QStringLiteral("the program did not end after SIGTERM and was killed");
    if (m_hosts.hostsLoggedIn() < m_run.hosts)
        out << QStringLiteral("only %1 of %2 hosts were ever logged in")
                   .arg(m_hosts.hostsLoggedIn())
                   .arg(m_run.hosts);
    if (m_knownReceived.empty())
        out << QStringLiteral("no event is known to have reached the program: nothing was tested");
    return out;
}

QString SoakReport::text() const
{
    QString out;
    QTextStream s(&out);
    const auto row = [&s](const QString& label, const QString& value, const QString& note = {}) {
        s << "  " << label.leftJustified(40, QLatin1Char(' ')) << value.rightJustified(12);
        if (!note.isEmpty())
            s << "   " << note;
        s << '\n';
    };
    s << QStringLiteral("KRNotify soak: %1 hosts, %2 minutes, %3 events/s per host, seed %4\n")
             .arg(m_run.hosts)
             .arg(m_run.minutes, 0, 'f', 1)
             .arg(m_run.eventsPerSecond)
             .arg(m_run.seed);
    row("events sent while connected", QString::number(m_hosts.sent().size()));
    row("  known received by the program", QString::number(m_knownReceived.size()));
    row("events shown", QString::number(m_program.shown().size()));
    row("  missing (received, not shown)", QString::number(m_missing.size()));
    row("  lost as a connection ended", QString::number(lostWithConnections()));
    row("  shown but never sent", QString::number(m_unexpected.size()));
    row("alarms started", optionalCount(m_program.alarmsStarted()));
    row("rows pushed out by the row limit", optionalCount(m_program.rowsPushedOut()));
    row("reconnections", QString::number(m_hosts.reconnections()),
        QStringLiteral("logins refused: %1").arg(m_hosts.refusedLogins()));
    QStringList kinds;
    int faults = 0;
    for (auto it = m_hosts.faults().begin(); it != m_hosts.faults().end(); ++it) {
        kinds << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        faults += it.value();
    }
    row("faults injected", QString::number(faults), kinds.join(QStringLiteral(", ")));
    row("camera deaths", QString::number(m_run.cameraDeaths));
    const SimulatorTrace::Outage down = m_hosts.longestDownAfterFault(m_run.endMs);
    row("longest down after its fault ended", QString::number(down.seconds, 'f', 1) + " s",
        down.port ? QStringLiteral("host port %1, after %2").arg(down.port).arg(down.fault)
                  : QString());
    const double silence = m_hosts.longestSilenceSeconds();
    row("longest silence until dropped",
        silence < 0 ? QStringLiteral("-") : QString::number(silence, 'f', 1) + " s");
    row("crashes", QString::number(m_run.crashes),
        QStringLiteral("crash reports: %1").arg(m_run.crashReports));
    row("memory (RSS) before / after, MiB",
        mib(m_run.before.residentKiB) + " / " + mib(m_run.after.residentKiB),
        QStringLiteral("peak %1 MiB").arg(mib(m_run.after.peakKiB)));
    row("program CPU time",
        m_run.after.cpuSeconds < 0 ? QStringLiteral("?")
                                   : QString::number(m_run.after.cpuSeconds, 'f', 1) + " s",
        m_run.minutes > 0 && m_run.after.cpuSeconds >= 0
            ? QStringLiteral("%1 % of one processor")
                  .arg(100.0 * m_run.after.cpuSeconds / (m_run.minutes * 60), 0, 'f', 1)
            : QString());
    row("snapshot folder at the end", QStringLiteral("%1 files").arg(m_run.snapshotFiles),
        QStringLiteral("%1 MiB").arg(mib(m_run.snapshotBytes / 1024)));
    row("exit after SIGTERM", m_run.exitSeconds < 0
                                  ? QStringLiteral("killed")
                                  : QString::number(m_run.exitSeconds, 'f', 2) + " s");

    constexpr size_t kListed = 20;
    for (const auto& [title, keys] :
         {std::pair{"missing", &m_missing}, std::pair{"never sent", &m_unexpected}}) {
        for (size_t i = 0; i < std::min(kListed, keys->size()); ++i)
            s << "  " << title << ": " << keyText((*keys)[i]) << '\n';
        if (keys->size() > kListed)
            s << "  " << title << ": ... and " << keys->size() - kListed << " more\n";
    }
    const QStringList failed = failures();
    s << (failed.isEmpty() ? QStringLiteral("result: passed\n")
                           : QStringLiteral("result: FAILED: ") + failed.join("; ") + '\n');
    return out;
}

} // namespace Soak
