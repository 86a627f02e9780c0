#pragma once

#include "connection/SiteViews.h"
#include "events/EventRow.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPair>
#include <QPointer>

#include <memory>
#include <vector>

class SnapshotFiles;

// The event list's rows, newest first, at most kMaxRows. Owns every EVENT (a row it removed may
// live on in the list widget until the widget's next frame). Rows are found by
// host and event key: log ids are each host's own numbering, so two hosts may report the same
// key for different events. Each row holds the pictures it lists (SnapshotFiles), so a picture
// goes with the last row that shows it.
class CEventListModel : public QAbstractListModel, public EventListSink
{
    Q_OBJECT

public:
    static constexpr int kMaxRows = 300;

    explicit CEventListModel(QObject* parent = nullptr);
    ~CEventListModel() override;

    // The snapshot files the rows hold their pictures in (null: none).
    void setPictureFiles(SnapshotFiles* files);
    SnapshotFiles* pictureFiles() const;
    // Lists a picture path on a row (after those it has).
    void AddSnapshotPath(EVENT* event, const QString& path);

    // Takes the row; 1 when added, 0 for null. A full list first drops its last (oldest) row.
    // A row whose host already lists the same key replaces that row, keeping the log record
    // and pictures it had gathered when the new one has none.
    int AddEvent(std::unique_ptr<EVENT> event);
    EVENT* FindEvent(int hostId, qint32 logType, qint32 logId) const;
    void RemoveHostEvents(int hostId) override;
    void Clear();

    EVENT* eventAt(int row) const;
    int rowOf(const EVENT* event) const;
    // Every row in order; shared, so a view may keep showing a row for the rest of a frame.
    const std::vector<std::shared_ptr<EVENT>>& rows() const { return m_rows; }
    // Repaints one row (state or log record changed) or every row (new pictures on disk).
    void EventChanged(const EVENT* event);
    void RefreshAll();

    static QString MessageText(const EVENT& event); // "N/A" until the log record arrives

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The cap is about to drop this row (the oldest) to make room for a new one.
    void eventPushedOut(const EVENT& event);

private:
    using RowKey = QPair<int, qint64>;
    static RowKey keyOf(const EVENT& e) { return {e.hostId, e.key()}; }
    void removeRow(int row);
    void Retain(const EVENT& event);
    void Release(const EVENT& event);

    std::vector<std::shared_ptr<EVENT>> m_rows;
    QHash<RowKey, EVENT*> m_byKey;
    QPointer<SnapshotFiles> m_files;
};
