#pragma once

#include "MessageLog.h"
#include "Scenario.h"
#include "SnapshotSession.h"
#include "tnclient/TnWire.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <deque>
#include <map>
#include <memory>

class QTimer;

// Faults a host can be told to show, from the command line or a timeline step.
struct SimFaults
{
    bool noAlive = false;       // CHECK_ALIVE goes unanswered
    bool refuseLogin = false;   // every login is refused
    double dropAfter = -1;      // seconds after login: the connection is dropped
    double malformedAfter = -1; // seconds after login: a malformed frame is sent
    SnapshotSession::Mode snapshot = SnapshotSession::Mode::Normal;
};

// One simulated host on one listening port: monitors log in, get the site, receive the
// timeline's events; snapshot downloads are served on the same port.
class SimHost : public QObject
{
    Q_OBJECT

public:
    // log: the messages received (--log); trace: everything in order (--trace).
    SimHost(Sim::Host host, SimFaults faults, MessageLog* log, MessageLog* trace, int doorOpenMs,
            QObject* parent = nullptr);
    ~SimHost() override;

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }

private:
    struct Monitor;

    void accept();
    void classify(QTcpSocket* socket);
    void readMonitor(int id);
    void dropMonitor(int id, const QString& why);
    void handle(Monitor& monitor, const TnWire::Message& message);
    void login(Monitor& monitor, const TnWire::Message& message);
    void doorOperation(const TnWire::Message& message);
    void received(int monitorId, const TnWire::Message& message);
    void send(Monitor& monitor, const TnWire::Message& message);
    void sendRaw(Monitor& monitor, const QByteArray& bytes);
    void broadcast(const TnWire::Message& message);
    void startTimeline();
    void runStep(const Sim::Step& step, int run);
    void runEvent(const QJsonObject& p);
    void runFault(const QJsonObject& p);
    void setDoorStatus(qint32 controller, qint32 door, qint32 status);
    QByteArray snapshotFor(const SnapshotSession::Request& request) const;
    void info(const QString& text) const;

    Sim::Host m_host;
    SimFaults m_faults;
    MessageLog* m_log;
    MessageLog* m_trace;
    int m_doorOpenMs;
    QTcpServer m_server;
    std::map<int, std::unique_ptr<Monitor>> m_monitors;
    int m_lastMonitorId = 0;
    qint32 m_nextLogId = 1;
    bool m_timelineStarted = false;
    // Pictures of recent events by (log id, camera number); the oldest are forgotten.
    std::map<std::pair<qint32, qint32>, QString> m_snapshots;
    std::deque<std::pair<qint32, qint32>> m_snapshotOrder; // keys of m_snapshots, oldest first
};
