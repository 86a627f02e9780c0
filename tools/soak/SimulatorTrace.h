#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace Soak {

// One event as both sides name it: the host (its simulator port), the log type, the log id.
struct EventKey
{
    int port = 0;
    qint32 logType = 0;
    qint32 logId = 0;
    bool operator<(const EventKey& o) const
    {
        return std::tie(port, logType, logId) < std::tie(o.port, o.logType, o.logId);
    }
    bool operator==(const EventKey& o) const
    {
        return port == o.port && logType == o.logType && logId == o.logId;
    }
};

// Reads the simulator's trace (krhost-sim --trace), line by line in the order written, and
// keeps what a soak reports about the hosts' side.
//
// Sent: an event notification written to a monitor that was logged in.
// Known received: a sent event the program has certainly read, because it answered something
// that came after it on the same connection. The program sends CHECK_ALIVE only when it has no
// request waiting for an answer, so a CHECK_ALIVE arriving on a connection after the host had
// answered the previous one proves that the program read that answer, and with it everything
// written before it. A snapshot request for a log id proves that the program read that event's
// log record, which follows the event. Events written after the last answer the program is
// known to have read (just before a drop, say) may be lost in the network with the connection;
// they are sent but not known received.
class SimulatorTrace
{
public:
    void add(const QJsonObject& line);

    const std::set<EventKey>& sent() const { return m_sent; }
    std::set<EventKey> knownReceived() const;

    int acceptedLogins() const;
    int refusedLogins() const { return m_refusedLogins; }
    // Accepted logins beyond each host's first.
    int reconnections() const;
    int hostsLoggedIn() const;
    // Faults as they took effect, by name ("drop", "silent", "snapshot stall", ...).
    const QMap<QString, int>& faults() const { return m_faultCounts; }

    // Over every fault that ends a connection: the longest time its host went without a
    // logged-in connection after the fault was over (a drop or a bad frame is over at once,
    // refused logins when they are accepted again, a silence when the connection it silenced
    // ends). `endMs` closes what is still open at the end of the run.
    struct Outage
    {
        double seconds = 0;
        int port = 0;
        QString fault;
    };
    Outage longestDownAfterFault(qint64 endMs) const;
    // The longest silence before the program dropped the silent connection (-1: none ended).
    double longestSilenceSeconds() const;

private:
    struct Connection
    {
        bool loggedIn = false;
        std::vector<EventKey> events;         // sent, in order
        size_t knownReceived = 0;             // events[0, knownReceived) reached the program
        std::optional<size_t> answeredBefore; // events before the last keep-alive answer
    };
    struct FaultSpan
    {
        QString name;
        qint64 startMs = 0;
        qint64 endMs = -1; // -1: not over yet
    };
    struct Host
    {
        int logins = 0; // accepted
        int loggedInConnections = 0;
        std::vector<std::pair<qint64, qint64>> downs; // without a logged-in connection; -1: open
        std::vector<FaultSpan> faults;                // those that end a connection
        std::optional<size_t> silenceOpen;            // index of a silence not yet over
        std::optional<size_t> refusalOpen;
    };

    void received(int port, int conn, const QString& cmd, const QJsonObject& fields);
    void sentOut(int port, int conn, qint64 ms, const QString& cmd, const QJsonObject& fields);
    void fault(int port, qint64 ms, const QString& name, const QString& mode);
    void closed(int port, int conn, qint64 ms);
    void confirm(Connection& c, size_t upTo);

    std::map<std::pair<int, int>, Connection> m_connections;            // by (port, conn)
    std::map<std::pair<int, qint32>, std::pair<int, size_t>> m_eventAt; // (port, log id)
    std::map<int, Host> m_hosts;                                        // by port
    std::set<EventKey> m_sent;
    int m_refusedLogins = 0;
    QMap<QString, int> m_faultCounts;
    std::vector<double> m_silences;
};

} // namespace Soak
