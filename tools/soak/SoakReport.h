#pragma once

#include "ProcessUsage.h"
#include "ProgramLog.h"
#include "SimulatorTrace.h"

#include <QStringList>

#include <vector>

namespace Soak {

// What the run itself measured, beside the two logs.
struct RunFigures
{
    int hosts = 0;
    double minutes = 0;
    double eventsPerSecond = 0;
    quint32 seed = 0;
    int crashes = 0;      // the program ended by itself
    int crashReports = 0; // files in its crash report folder
    int cameraDeaths = 0;
    ProcessUsage before;   // once every host had logged in
    ProcessUsage after;    // at the end, before the program was asked to end
    int snapshotFiles = 0; // in the program's snapshot folder at the end
    qint64 snapshotBytes = 0;
    double exitSeconds = 0; // from SIGTERM to its end; -1: it had to be killed
    qint64 endMs = 0;       // when the soak ended (ms since the epoch)
};

// The soak's printed table and its verdict.
class SoakReport
{
public:
    SoakReport(const SimulatorTrace& hosts, const ProgramLog& program, const RunFigures& run);

    QString text() const;
    // Empty when the soak passed.
    QStringList failures() const;

    // Known received by the program, not in its list.
    const std::vector<EventKey>& missing() const { return m_missing; }
    // In the program's list, never sent to it.
    const std::vector<EventKey>& unexpected() const { return m_unexpected; }

private:
    // Sent but neither known received nor shown: written just before a connection ended.
    int lostWithConnections() const;

    const SimulatorTrace& m_hosts;
    const ProgramLog& m_program;
    RunFigures m_run;
    std::set<EventKey> m_knownReceived;
    std::vector<EventKey> m_missing;
    std::vector<EventKey> m_unexpected;
};

} // namespace Soak
