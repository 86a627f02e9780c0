#include "ui/eventlist/CThumbnail.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QThread>

Q_LOGGING_CATEGORY(lcThumbnail, "krnotify.thumbnail")

namespace {

bool fileExists(const QFileInfo& info)
{
    return info.isFile() && info.isReadable();
}

QImage blankThumbnail()
{
    QImage blank(CThumbnail::kWidth, CThumbnail::kHeight, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::transparent);
    return blank;
}

// Decodes straight to the cell size (JPEG decodes at a reduced scale); the picture is
// stretched, not kept in proportion.
QImage loadCell(const QString& path)
{
    QImageReader reader(path);
    reader.setScaledSize(QSize(CThumbnail::kCellWidth, CThumbnail::kCellHeight));
    return reader.read();
}

} // namespace

CThumbnail::CThumbnail(QString placeholderPath, QObject* parent)
    : QObject(parent), m_placeholderPath(std::move(placeholderPath))
{
    m_images.append(blankThumbnail());
}

CThumbnail::~CThumbnail()
{
    Stop();
}

void CThumbnail::Start()
{
    QMutexLocker locker(&m_lock);
    if (m_worker)
        return;
    m_running = true;
    m_worker.reset(QThread::create([this] { Run(); }));
    m_worker->start();
}

void CThumbnail::Stop()
{
    {
        QMutexLocker locker(&m_lock);
        if (!m_worker)
            return;
        m_running = false;
        m_signalled = true;
        m_wake.wakeAll();
    }
    m_worker->wait();
    m_worker.reset();
    QMutexLocker locker(&m_lock);
    m_queue.clear();
    m_index.clear();
}

QString CThumbnail::KeyOf(const QStringList& paths)
{
    QString key;
    for (const QString& path : paths) {
        if (fileExists(QFileInfo(path)))
            key += path;
    }
    return key;
}

QString CThumbnail::StampOf(const QStringList& paths)
{
    QString stamp;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (fileExists(info))
            stamp += QString::number(info.size()) + QLatin1Char(':') +
                     QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char(';');
    }
    return stamp;
}

int CThumbnail::GetThumbnailIndex(const QStringList& paths, bool rightToLeft)
{
    const QString key = KeyOf(paths);
    if (key.isEmpty())
        return 0;
    QMutexLocker locker(&m_lock);
    if (m_images.size() > kCapacity + 1) {
        m_images.resize(1);
        m_index.clear();
        m_failed.clear();
    }
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd())
        return found.value();

    ITEM item{key, paths, rightToLeft, StampOf(paths)};
    const auto failed = m_failed.constFind(key);
    if (failed != m_failed.constEnd()) {
        if (failed.value() == item.stamp)
            return 0;
        m_failed.erase(failed);
    }
    m_queue.push_front(std::move(item));
    m_index.insert(key, 0);
    while (int(m_queue.size()) > kMaxPending) {
        m_index.remove(m_queue.back().key);
        m_queue.pop_back();
    }
    m_signalled = true;
    m_wake.wakeOne();
    return 0;
}

QImage CThumbnail::image(int index) const
{
    QMutexLocker locker(&m_lock);
    return index > 0 && index < m_images.size() ? m_images[index] : m_images[0];
}

int CThumbnail::imageCount() const
{
    QMutexLocker locker(&m_lock);
    return int(m_images.size());
}

int CThumbnail::pendingCount() const
{
    QMutexLocker locker(&m_lock);
    return int(m_queue.size());
}

bool CThumbnail::isKnown(const QString& key) const
{
    QMutexLocker locker(&m_lock);
    return m_index.contains(key);
}

void CThumbnail::Run()
{
    for (;;) {
        {
            QMutexLocker locker(&m_lock);
            while (!m_signalled)
                m_wake.wait(&m_lock);
            m_signalled = false;
            if (!m_running)
                return;
        }
        for (;;) {
            ITEM item;
            {
                QMutexLocker locker(&m_lock);
                if (!m_running || m_queue.empty())
                    break;
                item = std::move(m_queue.front());
                m_queue.pop_front();
            }
            QImage thumbnail;
            const bool ok = Compose(item, thumbnail);
            {
                QMutexLocker locker(&m_lock);
                if (ok) {
                    m_images.append(thumbnail);
                    m_index.insert(item.key, int(m_images.size()) - 1);
                } else {
                    m_index.remove(item.key);
                    if (m_failed.size() >= kCapacity)
                        m_failed.clear();
                    m_failed.insert(item.key, item.stamp);
                }
            }
            Q_EMIT thumbnailReady();
        }
    }
}

bool CThumbnail::Compose(const ITEM& item, QImage& thumbnail)
{
    thumbnail = blankThumbnail();
    QPainter painter(&thumbnail);
    // Only the first two pictures have a cell.
    const int shown = qMin(int(item.paths.size()), kCells);
    for (int i = 0; i < shown; ++i) {
        const QRect cell(kCellWidth * i, 0, kCellWidth, kCellHeight);
        const QString& path = item.paths[i];
        const QImage picture = fileExists(QFileInfo(path)) ? loadCell(path) : QImage();
        // A file that is missing, or was deleted while being read (its row left, or it made
        // room in the folder), shows the placeholder.
        if (picture.isNull() && !fileExists(QFileInfo(path))) {
            DrawPlaceholder(painter, cell, item.rightToLeft);
            continue;
        }
        if (picture.isNull()) {
            qCWarning(lcThumbnail) << "[KRNotify] LoadPicture Error" << path;
            return false;
        }
        painter.drawImage(cell, item.rightToLeft ? picture.mirrored(true, false) : picture);
    }
    return true;
}

bool CThumbnail::DrawPlaceholder(QPainter& painter, const QRect& cell, bool rightToLeft)
{
    if (m_placeholder.isNull())
        m_placeholder = loadCell(m_placeholderPath); // tried again while it cannot be loaded
    if (m_placeholder.isNull())
        return false;
    painter.drawImage(cell, rightToLeft ? m_placeholder.mirrored(true, false) : m_placeholder);
    return true;
}
