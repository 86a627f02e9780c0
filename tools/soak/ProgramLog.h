#pragma once

#include "SimulatorTrace.h"

#include <QByteArray>
#include <QMap>

#include <optional>
#include <set>

namespace Soak {

// Reads what the operator program tells on standard error with its performance category on
// (krnotify.perf): a line per event it added to its list, naming the host by the program's
// host id, and its running counters. Host ids are turned into the simulator's ports with the
// host list the soak wrote.
class ProgramLog
{
public:
    void setHostPort(int hostId, int port) { m_ports.insert(hostId, port); }
    void addLine(const QByteArray& line);

    // Events added to the list; a host id the soak did not add counts as port 0.
    const std::set<EventKey>& shown() const { return m_shown; }
    // Event lines read (an event shown twice counts twice).
    int eventLines() const { return m_eventLines; }
    // From the last counters line; none before the first one.
    std::optional<quint64> alarmsStarted() const { return m_alarmsStarted; }
    std::optional<quint64> rowsPushedOut() const { return m_rowsPushedOut; }

private:
    QMap<int, int> m_ports;
    std::set<EventKey> m_shown;
    int m_eventLines = 0;
    std::optional<quint64> m_alarmsStarted;
    std::optional<quint64> m_rowsPushedOut;
};

} // namespace Soak
