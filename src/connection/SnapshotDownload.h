#pragma once

#include "connection/SnapshotQueue.h"
#include "connection/SnapshotRequest.h"
#include "hostlookup/NameResolver.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <thread>

class CConnectionManager;
class CEventLogData;
class PollableFlag;

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

// Fetches event snapshots from hosts, each running download on a thread of its own. Each host's
// downloads wait in a queue of their own and hosts take turns (SnapshotQueue) for kSlots
// threads, at most kSlotsPerHost of one host at a time. Completion comes back on the owner's
// thread through snapshotFinished (queued).
class CSnapshotDownloader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSlots = 8;
    static constexpr int kSlotsPerHost = 2;

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

    int runningCount() const { return int(m_running.size()); }
    int waitingCount() const { return m_queue.waiting(); }

public Q_SLOTS:
    // The picture of filePath is no longer wanted: its waiting downloads are dropped and a
    // running one is stopped. A download that still completes its file reports it as usual.
    void Cancel(const QString& filePath);

Q_SIGNALS:
    void snapshotFinished(int hostId, const QString& filePath, bool written);
    // From a worker: download id ended with a SnapshotOutcome (queued to OnDownloadEnded).
    void downloadEnded(quint64 id, int outcome, QPrivateSignal);

private:
    struct Running
    {
        int hostId;
        QString filePath;
        std::shared_ptr<PollableFlag> cancel;
        std::thread worker; // joined once it has reported its end
    };

    void StartWaiting();
    void OnDownloadEnded(quint64 id, int outcome);

    CConnectionManager& m_manager;
    QString m_folder;
    SnapshotWaits m_waits;
    std::shared_ptr<NameResolver> m_resolver;
    SnapshotQueue m_queue{kSlots, kSlotsPerHost};
    std::map<quint64, Running> m_running;
    quint64 m_lastId = 0;
};
