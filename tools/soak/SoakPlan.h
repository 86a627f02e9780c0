#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

// What a soak does, decided before it starts from a seed: the site each simulated host plays
// (a steady stream of events of every kind the program treats differently) and when faults are
// injected into which host, so that a run can be repeated with the same seed.
namespace Soak {

enum class FaultKind
{
    Drop,           // the host closes the connection
    Silent,         // the host sends nothing more on the connection: the keep-alive must drop it
    Malformed,      // a frame whose payload is not a message
    Oversized,      // a frame announcing far more than the protocol allows
    RefuseLogin,    // the connection drops and logins are refused for a while
    SnapshotStall,  // snapshot downloads: half the picture, then silence
    SnapshotCut,    // half the picture, then the connection closes
    SnapshotHuge,   // a picture announced larger than allowed
    SnapshotRefuse, // the download's handshake refused
};
constexpr int kFaultKinds = 9;
QString faultName(FaultKind kind);
// Whether the fault ends the host's connection (so the host is down until the program
// reconnects).
bool endsConnection(FaultKind kind);

struct Settings
{
    int hosts = 10;
    double seconds = 120;
    double eventsPerSecond = 1; // per host
    quint32 seed = 1;
    int rtspPort = 0; // the test camera's ports, named by each site's recorders
    int httpPort = 0;
    QString pictureDir; // JPEG pictures the hosts serve as snapshots
};

struct PlannedFault
{
    int host = 0;  // index into the hosts
    double at = 0; // seconds after the host's first login
    FaultKind kind = FaultKind::Drop;
};

// The test camera is killed at `at` (seconds after the start) and started again `downFor`
// seconds later.
struct CameraDeath
{
    double at = 0;
    double downFor = 0;
};

class Plan
{
public:
    // Every kind of fault happens at least once when there are enough hosts (one per kind) and
    // the run lasts at least two minutes. A host's faults never overlap: each next one starts
    // after the previous one has ended and the host had time to come back. No fault is planned
    // so late that its host could still be down at the end.
    static Plan make(const Settings& settings);

    // The simulator's scenario: {"hosts": [...]}.
    QJsonObject scenario() const;
    const std::vector<PlannedFault>& faults() const { return m_faults; }
    const std::vector<CameraDeath>& cameraDeaths() const { return m_cameraDeaths; }

    // How long after its start a fault may keep its host from being logged in: the fault
    // itself plus the program's detection and reconnection, with room to spare.
    static double recoverySeconds(FaultKind kind);

private:
    QJsonObject host(int index) const;

    Settings m_settings;
    std::vector<PlannedFault> m_faults;
    std::vector<CameraDeath> m_cameraDeaths;
};

} // namespace Soak
