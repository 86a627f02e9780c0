#include "events/SnapshotFiles.h"

#include "connection/SnapshotDownload.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <sys/statvfs.h>
#include <utility>

Q_LOGGING_CATEGORY(lcSnapshotFiles, "krnotify.snapshot.files")

namespace {

void RemoveFile(const QString& path)
{
    QFile file(path);
    if (!file.remove() && file.exists())
        qCWarning(lcSnapshotFiles) << "cannot delete" << path << file.errorString();
}

} // namespace

SnapshotFiles::SnapshotFiles(qint64 limitBytes, QObject* parent)
    : QObject(parent), m_limitBytes(limitBytes), m_freeSpace(&SnapshotFiles::FreeSpace)
{
}

qint64 SnapshotFiles::LimitFromProfile(const QString& iniPath)
{
    const int mib = ProfileFile::readInt(iniPath, QStringLiteral("Snapshots"),
                                         QStringLiteral("FolderLimitMB"), kDefaultLimitMiB);
    return std::clamp(mib, kMinLimitMiB, kMaxLimitMiB) * kMiB;
}

qint64 SnapshotFiles::FreeSpace(const QString& folder)
{
    // A day folder that could not be made is measured at its parent.
    for (const QString& dir : {folder, QFileInfo(folder).absolutePath()}) {
        struct statvfs fs = {};
        if (::statvfs(QFile::encodeName(dir).constData(), &fs) == 0)
            return qint64(fs.f_bavail) * qint64(fs.f_frsize);
    }
    return -1;
}

void SnapshotFiles::Follow(CSnapshotDownloader& downloads)
{
    connect(&downloads, &CSnapshotDownloader::snapshotFinished, this,
            [this](int, const QString& path, bool written) { PictureArrived(path, written); });
    connect(this, &SnapshotFiles::released, &downloads, &CSnapshotDownloader::Cancel);
}

void SnapshotFiles::Retain(const QString& path)
{
    if (!path.isEmpty())
        ++m_pictures[path].holders;
}

void SnapshotFiles::Release(const QString& path)
{
    const auto it = m_pictures.find(path);
    if (it == m_pictures.end() || it->holders <= 0)
        return;
    if (--it->holders > 0)
        return;
    if (it->bytes >= 0) {
        Uncount(*it);
        RemoveFile(path);
    }
    m_pictures.erase(it);
    Q_EMIT released(path);
}

void SnapshotFiles::PictureArrived(const QString& path, bool written)
{
    if (!written) {
        CheckSpace(path);
        return;
    }
    const auto it = m_pictures.find(path);
    if (it == m_pictures.end()) {
        qCDebug(lcSnapshotFiles) << "no row shows" << path << "any more: deleted";
        RemoveFile(path);
        return;
    }
    const QFileInfo file(path);
    if (!file.isFile())
        return;
    Uncount(*it); // written again
    it->bytes = file.size();
    it->age = ++m_lastAge;
    m_byAge.emplace(it->age, path);
    m_totalBytes += it->bytes;
    SetFull(false);
    Trim(path);
}

void SnapshotFiles::Uncount(Picture& picture)
{
    if (picture.bytes < 0)
        return;
    m_totalBytes -= picture.bytes;
    m_byAge.erase(picture.age);
    picture.bytes = -1;
}

void SnapshotFiles::Trim(const QString& keep)
{
    for (auto oldest = m_byAge.begin(); m_totalBytes > m_limitBytes && oldest != m_byAge.end();) {
        const QString path = oldest->second;
        ++oldest;
        if (path == keep)
            continue;
        qCDebug(lcSnapshotFiles) << "snapshot folder above" << m_limitBytes / kMiB
                                 << "MiB: the oldest picture goes," << path;
        Uncount(m_pictures[path]);
        RemoveFile(path);
    }
}

void SnapshotFiles::CheckSpace(const QString& path)
{
    // A picture that does not fit is refused long before this; less room than that is full.
    const qint64 free = m_freeSpace(QFileInfo(path).absolutePath());
    if (free >= 0 && free <= kMaxSnapshotBytes)
        SetFull(true);
}

void SnapshotFiles::SetFull(bool full)
{
    if (full == m_full)
        return;
    m_full = full;
    if (full)
        qCWarning(lcSnapshotFiles) << "the snapshot folder's file system is full: new pictures "
                                      "are lost until there is room again";
    else
        qCInfo(lcSnapshotFiles) << "pictures are written again";
    Q_EMIT fullChanged(full);
}

void SnapshotHold::Hold(SnapshotFiles* files, const QStringList& paths)
{
    // The new ones first: a picture held before and now stays.
    if (files) {
        for (const QString& path : paths)
            files->Retain(path);
    }
    Drop();
    m_files = files;
    if (files)
        m_paths = paths;
}

void SnapshotHold::Drop()
{
    const QStringList held = std::exchange(m_paths, {});
    if (m_files) {
        for (const QString& path : held)
            m_files->Release(path);
    }
    m_files = nullptr;
}
