#include "SimulatorTrace.h"

#include <QDateTime>

#include <algorithm>

namespace Soak {

namespace {

qint32 intField(const QJsonObject& fields, const char* key)
{
    return qint32(fields.value(QLatin1String(key)).toObject().value("i").toDouble());
}

double seconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

} // namespace

void SimulatorTrace::add(const QJsonObject& line)
{
    const int port = line.value("port").toInt();
    const int conn = line.value("conn").toInt();
    const QString dir = line.value("dir").toString();
    const qint64 ms =
        QDateTime::fromString(line.value("time").toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
    const QString cmd = line.value("cmd").toString();
    const QJsonObject fields = line.value("fields").toObject();
    if (dir == QLatin1String("in"))
        received(port, conn, cmd, fields);
    else if (dir == QLatin1String("out"))
        sentOut(port, conn, ms, cmd, fields);
    else if (dir == QLatin1String("fault"))
        fault(port, ms, line.value("fault").toString(), line.value("mode").toString());
    else if (dir == QLatin1String("closed"))
        closed(port, conn, ms);
}

void SimulatorTrace::received(int port, int conn, const QString& cmd, const QJsonObject& fields)
{
    if (cmd == QLatin1String("CHECK_ALIVE")) {
        Connection& c = m_connections[{port, conn}];
        if (c.answeredBefore)
            confirm(c, *c.answeredBefore);
        c.answeredBefore.reset();
    } else if (cmd == QLatin1String("SNAPSHOT_REQUEST")) {
        const auto at = m_eventAt.find({port, intField(fields, "L_ID")});
        if (at != m_eventAt.end())
            confirm(m_connections[{port, at->second.first}], at->second.second + 1);
    }
}

void SimulatorTrace::sentOut(int port, int conn, qint64 ms, const QString& cmd,
                             const QJsonObject& fields)
{
    Connection& c = m_connections[{port, conn}];
    if (cmd == QLatin1String("REMOTEMONITOR_LOGIN")) {
        if (intField(fields, "R_RESULT") != 0) {
            ++m_refusedLogins;
            return;
        }
        c.loggedIn = true;
        Host& host = m_hosts[port];
        ++host.logins;
        if (host.loggedInConnections++ == 0 && !host.downs.empty() && host.downs.back().second < 0)
            host.downs.back().second = ms;
    } else if (cmd == QLatin1String("CHECK_ALIVE")) {
        c.answeredBefore = c.events.size();
    } else if (cmd == QLatin1String("KRNOTIFY_EVENT") && c.loggedIn) {
        const EventKey key{port, intField(fields, "L_TYPE"), intField(fields, "L_ID")};
        m_eventAt[{port, key.logId}] = {conn, c.events.size()};
        c.events.push_back(key);
        m_sent.insert(key);
    }
}

void SimulatorTrace::fault(int port, qint64 ms, const QString& name, const QString& mode)
{
    Host& host = m_hosts[port];
    if (name == QLatin1String("snapshot")) {
        if (mode != QLatin1String("normal"))
            ++m_faultCounts[QStringLiteral("snapshot ") + mode];
        return;
    }
    if (name == QLatin1String("accept_login")) {
        if (host.refusalOpen)
            host.faults[*host.refusalOpen].endMs = ms;
        host.refusalOpen.reset();
        return;
    }
    // The drop that makes a refusing host's next login meet the refusal belongs to the refusal.
    if (name == QLatin1String("alive") || (name == QLatin1String("drop") && host.refusalOpen))
        return;
    ++m_faultCounts[name];
    FaultSpan span{name, ms, ms};
    if (name == QLatin1String("silent")) {
        span.endMs = -1;
        host.silenceOpen = host.faults.size();
    } else if (name == QLatin1String("refuse_login")) {
        span.endMs = -1;
        host.refusalOpen = host.faults.size();
    } else if (name == QLatin1String("no_alive")) {
        return; // not an end of the connection by itself
    }
    host.faults.push_back(span);
}

void SimulatorTrace::closed(int port, int conn, qint64 ms)
{
    Connection& c = m_connections[{port, conn}];
    if (!c.loggedIn)
        return;
    c.loggedIn = false;
    Host& host = m_hosts[port];
    if (host.silenceOpen) {
        FaultSpan& silence = host.faults[*host.silenceOpen];
        silence.endMs = ms;
        m_silences.push_back(seconds(ms - silence.startMs));
        host.silenceOpen.reset();
    }
    if (--host.loggedInConnections == 0)
        host.downs.emplace_back(ms, -1);
}

void SimulatorTrace::confirm(Connection& c, size_t upTo)
{
    c.knownReceived = std::max(c.knownReceived, std::min(upTo, c.events.size()));
}

std::set<EventKey> SimulatorTrace::knownReceived() const
{
    std::set<EventKey> out;
    for (const auto& [id, c] : m_connections)
        out.insert(c.events.begin(), c.events.begin() + qint64(c.knownReceived));
    return out;
}

int SimulatorTrace::acceptedLogins() const
{
    int logins = 0;
    for (const auto& [port, host] : m_hosts)
        logins += host.logins;
    return logins;
}

int SimulatorTrace::reconnections() const
{
    int count = 0;
    for (const auto& [port, host] : m_hosts)
        count += std::max(0, host.logins - 1);
    return count;
}

int SimulatorTrace::hostsLoggedIn() const
{
    return int(std::count_if(m_hosts.begin(), m_hosts.end(),
                             [](const auto& entry) { return entry.second.logins > 0; }));
}

SimulatorTrace::Outage SimulatorTrace::longestDownAfterFault(qint64 endMs) const
{
    Outage longest;
    for (const auto& [port, host] : m_hosts) {
        for (size_t f = 0; f < host.faults.size(); ++f) {
            const FaultSpan& fault = host.faults[f];
            const qint64 over = fault.endMs < 0 ? endMs : fault.endMs;
            const qint64 nextFault =
                f + 1 < host.faults.size() ? host.faults[f + 1].startMs : endMs;
            // The outage this fault caused: the first one still going on when it was over and
            // begun before the next fault.
            for (const auto& [downFrom, downTo] : host.downs) {
                const qint64 upAgain = downTo < 0 ? endMs : downTo;
                if (upAgain <= over || downFrom >= nextFault)
                    continue;
                const double s = seconds(upAgain - std::max(over, downFrom));
                if (s > longest.seconds)
                    longest = {s, port, fault.name};
                break;
            }
        }
    }
    return longest;
}

double SimulatorTrace::longestSilenceSeconds() const
{
    return m_silences.empty() ? -1 : *std::max_element(m_silences.begin(), m_silences.end());
}

} // namespace Soak
