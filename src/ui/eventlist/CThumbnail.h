#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVector>
#include <QWaitCondition>

#include <deque>
#include <memory>

class QThread;

// Event-list thumbnails: up to two snapshot pictures side by side, composed on one worker
// thread so that painting never decodes. The list asks by the row's snapshot paths and gets an
// image index at once: a finished thumbnail, or 0, the blank placeholder, while it is pending.
// Finished thumbnails are announced by thumbnailReady (emitted on the worker thread).
class CThumbnail : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCellWidth = 80;
    static constexpr int kCellHeight = 60;
    static constexpr int kCells = 2;
    static constexpr int kWidth = kCellWidth * kCells;
    static constexpr int kHeight = kCellHeight;
    // Passing this many thumbnails (plus the placeholder) resets the whole cache.
    static constexpr int kCapacity = 400;
    // At most this many requests wait; older ones are dropped and asked again later.
    static constexpr int kMaxPending = 20;

    // placeholderPath: the picture drawn in the cell of a snapshot that does not exist yet.
    explicit CThumbnail(QString placeholderPath, QObject* parent = nullptr);
    ~CThumbnail() override;

    void Start();
    // Ends the worker; queued requests are dropped.
    void Stop();

    // The thumbnail index for a row's snapshot paths (user-interface thread).
    int GetThumbnailIndex(const QStringList& paths, bool rightToLeft);
    // The picture at an index; index 0 (and any unknown index) is the blank placeholder.
    QImage image(int index) const;

    // The concatenation of the paths whose files exist now, in order.
    static QString KeyOf(const QStringList& paths);

    int imageCount() const;
    int pendingCount() const;
    bool isKnown(const QString& key) const;

Q_SIGNALS:
    void thumbnailReady();

private:
    struct ITEM
    {
        QString key;
        QStringList paths;
        bool rightToLeft = false;
        QString stamp; // sizes and times of the files at request time
    };

    static QString StampOf(const QStringList& paths);
    void Run();
    bool Compose(const ITEM& item, QImage& thumbnail);
    bool DrawPlaceholder(QPainter& painter, const QRect& cell, bool rightToLeft);

    const QString m_placeholderPath;
    mutable QMutex m_lock;
    QWaitCondition m_wake;
    bool m_signalled = false;
    bool m_running = false;
    std::deque<ITEM> m_queue; // newest at the front
    QVector<QImage> m_images; // [0] is the blank placeholder
    QHash<QString, int> m_index;
    // Keys whose pictures could not be decoded, with the file stamp they failed at: the same
    // files are not decoded again until they change.
    QHash<QString, QString> m_failed;
    QImage m_placeholder; // worker thread only
    std::unique_ptr<QThread> m_worker;
};
