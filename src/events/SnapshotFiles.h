#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class CSnapshotDownloader;

// How long the pictures of the snapshot folder stay. A picture stays while something shows
// it: each event row listing its path, and the open popup, holds it (Retain) until it lets go
// (Release); the last release deletes the file. A picture that arrives for nobody (its row left
// while it was being fetched or captured) is deleted as it arrives. The folder's total size is
// bounded: beyond the limit the oldest pictures go first, so the newest alarms keep theirs.
// (Pictures nobody holds never stay, so the oldest to go are pictures of the oldest rows.) A
// picture that could not be written for want of space marks the folder full (logged, and
// fullChanged) until the next picture is written.
//
// User-interface thread only; the downloads and captures report here through their signals.
class SnapshotFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMiB = 1024 * 1024;
    static constexpr int kDefaultLimitMiB = 512;
    static constexpr int kMinLimitMiB = 16;
    static constexpr int kMaxLimitMiB = 1024 * 1024;
    // Free bytes on the file system of a folder; negative when unknown.
    using FreeSpaceProbe = std::function<qint64(const QString& folder)>;

    explicit SnapshotFiles(qint64 limitBytes = kDefaultLimitMiB * kMiB, QObject* parent = nullptr);

    // The limit set in the options file: [Snapshots] FolderLimitMB, in MiB; the default when
    // missing, and kept within kMinLimitMiB..kMaxLimitMiB.
    static qint64 LimitFromProfile(const QString& iniPath);
    // statvfs: the bytes an unprivileged writer may still use.
    static qint64 FreeSpace(const QString& folder);

    void Retain(const QString& path);
    void Release(const QString& path);
    // A fetch or capture of path ended; written says whether its file was written.
    void PictureArrived(const QString& path, bool written);
    // The downloads report their pictures here, and stop fetching pictures nobody shows.
    void Follow(CSnapshotDownloader& downloads);

    qint64 totalBytes() const { return m_totalBytes; }
    qint64 limitBytes() const { return m_limitBytes; }
    bool isFull() const { return m_full; }
    void setFreeSpaceProbe(FreeSpaceProbe probe) { m_freeSpace = std::move(probe); }

Q_SIGNALS:
    // Nothing shows the picture of path any more.
    void released(const QString& path);
    void fullChanged(bool full);

private:
    struct Picture
    {
        int holders = 0;
        qint64 bytes = -1; // -1: no file counted
        quint64 age = 0;   // order of arrival, while counted
    };

    void Uncount(Picture& picture);
    // Deletes the oldest counted pictures until the total is within the limit; keep stays.
    void Trim(const QString& keep);
    void CheckSpace(const QString& path);
    void SetFull(bool full);

    const qint64 m_limitBytes;
    FreeSpaceProbe m_freeSpace;
    QHash<QString, Picture> m_pictures; // held or counted
    std::map<quint64, QString> m_byAge; // counted pictures, oldest first
    quint64 m_lastAge = 0;
    qint64 m_totalBytes = 0;
    bool m_full = false;
};

// Holds a few pictures for as long as something shows them outside the rows (the popup).
class SnapshotHold
{
public:
    SnapshotHold() = default;
    ~SnapshotHold() { Drop(); }
    SnapshotHold(const SnapshotHold&) = delete;
    SnapshotHold& operator=(const SnapshotHold&) = delete;

    // Holds paths instead of what was held before (files may be null: nothing is held).
    void Hold(SnapshotFiles* files, const QStringList& paths);
    void Drop();

private:
    QPointer<SnapshotFiles> m_files;
    QStringList m_paths;
};
