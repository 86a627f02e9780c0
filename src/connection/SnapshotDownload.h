#pragma once

#include "connection/NameResolver.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>

class CConnectionManager;
class CEventLogData;
class PollableFlag;

// Everything one download needs, copied on the user-interface thread: the work item never
// touches a host record or an event row.
struct SnapshotRequest
{
    QString address;
    int port = 0;
    qint32 key = 0; // R_KEY of the host's login reply
    int hostId = -1;
    qint32 logId = 0;
    qint32 cameraNumber = 0; // direction index + 1
    double utcTime = 0.0;    // OLE Automation date
    QString filePath;
};

// How long each step may wait for the host. Tests shorten them.
struct SnapshotWaits
{
    int connectMs = 10000;
    int ioMs = 10000; // per send or receive call
};

enum class SnapshotOutcome
{
    Written,
    ConnectFailed,
    HandshakeRefused,
    NoPicture,
    BadLength,
    FileError,
    TransferFailed,
    Cancelled
};

// Pictures larger than this are refused before any file is touched.
constexpr qint32 kMaxSnapshotBytes = 4999999;

// One blocking exchange with the host (docs/protocol.md, "Event snapshot download"). The
// picture is written to a temporary file beside filePath and renamed into place only when every
// byte arrived, so a failed transfer never leaves a partial picture. Raising cancel ends every
// wait at once, the name lookup included.
SnapshotOutcome RunSnapshotTransfer(const SnapshotRequest& request, const SnapshotWaits& waits,
                                    const PollableFlag& cancel, NameResolver& resolver);

// Fetches event snapshots from hosts, one pool work item per download. Completion comes back
// on the owner's thread through snapshotFinished (queued).
class CSnapshotDownloader : public QObject
{
    Q_OBJECT

public:
    CSnapshotDownloader(CConnectionManager& manager, QString snapshotFolder,
                        QObject* parent = nullptr);
    // Stops every download at once (none waits for its host or a name server) and drops the
    // queued ones; no completion is delivered afterwards.
    ~CSnapshotDownloader() override;

    void setWaits(const SnapshotWaits& waits) { m_waits = waits; }
    // The name look-up for downloads started from now on (tests: a name server that never
    // answers).
    void setNameLookup(NameResolver::Lookup lookup);
    QString snapshotFolder() const { return m_folder; }

    // Creates the day folder of relativeName, then queues the download when the host is
    // connected and a record is given. False when nothing was queued.
    bool RequestSnapshotDownload(const QString& relativeName, int hostId,
                                 const CEventLogData* record, int cameraNumber);
    // Queues a prepared request (the path's folder must exist).
    void Start(const SnapshotRequest& request);

Q_SIGNALS:
    void snapshotFinished(int hostId, const QString& filePath, bool written);

private:
    CConnectionManager& m_manager;
    QString m_folder;
    SnapshotWaits m_waits;
    std::shared_ptr<PollableFlag> m_cancel;
    std::shared_ptr<NameResolver> m_resolver;
    QThreadPool m_pool;
};
