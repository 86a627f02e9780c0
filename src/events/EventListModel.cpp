#include "events/EventListModel.h"

#include "events/SnapshotFiles.h"
#include "platform/PerfLog.h"

#include <algorithm>

bool EventShowsBefore(const EVENT& a, const EVENT& b)
{
    if (a.utcTime.days() != b.utcTime.days())
        return a.utcTime.days() > b.utcTime.days();
    if (a.logType != b.logType)
        return a.logType > b.logType;
    return a.logId > b.logId;
}

CEventListModel::CEventListModel(QObject* parent) : QAbstractListModel(parent) {}

CEventListModel::~CEventListModel()
{
    for (const std::shared_ptr<EVENT>& row : m_rows)
        Release(*row);
}

void CEventListModel::setPictureFiles(SnapshotFiles* files)
{
    for (const std::shared_ptr<EVENT>& row : m_rows)
        Release(*row);
    m_files = files;
    for (const std::shared_ptr<EVENT>& row : m_rows)
        Retain(*row);
}

SnapshotFiles* CEventListModel::pictureFiles() const
{
    return m_files;
}

void CEventListModel::Retain(const EVENT& event)
{
    if (m_files) {
        for (const QString& path : event.snapshotPaths)
            m_files->Retain(path);
    }
}

void CEventListModel::Release(const EVENT& event)
{
    if (m_files) {
        for (const QString& path : event.snapshotPaths)
            m_files->Release(path);
    }
}

void CEventListModel::AddSnapshotPath(EVENT* event, const QString& path)
{
    event->snapshotPaths.append(path);
    if (m_files)
        m_files->Retain(path);
}

int CEventListModel::AddEvent(std::unique_ptr<EVENT> event)
{
    if (!event)
        return 0;
    EVENT* previous = m_byKey.value(keyOf(*event));
    if (previous && !event->log && event->snapshotPaths.isEmpty()) {
        event->log = std::move(previous->log);
        event->snapshotPaths = previous->snapshotPaths;
    }
    // Held before the row it replaces lets go, so pictures it takes over stay.
    Retain(*event);
    if (previous)
        removeRow(rowOf(previous));
    if (int(m_rows.size()) >= kMaxRows) {
        Q_EMIT eventPushedOut(*m_rows.back());
        removeRow(int(m_rows.size()) - 1);
        ++PerfLog::counters().rowsPushedOut;
    }

    const auto position =
        std::lower_bound(m_rows.begin(), m_rows.end(), event,
                         [](const std::shared_ptr<EVENT>& listed, const std::unique_ptr<EVENT>& e) {
                             return EventShowsBefore(*listed, *e);
                         });
    const int row = int(position - m_rows.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_byKey.insert(keyOf(*event), event.get());
    m_rows.insert(position, std::move(event));
    endInsertRows();
    ++PerfLog::counters().rowsAdded;
    return 1;
}

EVENT* CEventListModel::FindEvent(int hostId, qint32 logType, qint32 logId) const
{
    return m_byKey.value({hostId, EVENT::MakeKey(logType, logId)});
}

void CEventListModel::RemoveHostEvents(int hostId)
{
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (m_rows[size_t(row)]->hostId == hostId)
            removeRow(row);
    }
}

void CEventListModel::Clear()
{
    beginResetModel();
    m_byKey.clear();
    std::vector<std::shared_ptr<EVENT>> gone;
    gone.swap(m_rows);
    endResetModel();
    for (const std::shared_ptr<EVENT>& row : gone)
        Release(*row);
}

void CEventListModel::removeRow(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    const auto it = m_rows.begin() + row;
    // The key entry goes only when it names this very row.
    const RowKey key = keyOf(**it);
    if (m_byKey.value(key) == it->get())
        m_byKey.remove(key);
    const std::shared_ptr<EVENT> gone = std::move(*it);
    m_rows.erase(it);
    endRemoveRows();
    Release(*gone);
}

EVENT* CEventListModel::eventAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].get() : nullptr;
}

int CEventListModel::rowOf(const EVENT* event) const
{
    const auto it =
        std::find_if(m_rows.begin(), m_rows.end(),
                     [event](const std::shared_ptr<EVENT>& e) { return e.get() == event; });
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void CEventListModel::EventChanged(const EVENT* event)
{
    const int row = rowOf(event);
    if (row >= 0)
        Q_EMIT dataChanged(index(row), index(row));
}

void CEventListModel::RefreshAll()
{
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
}

QString CEventListModel::MessageText(const EVENT& event)
{
    return event.log ? event.log->GetMessageText() : QStringLiteral("N/A");
}

int CEventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CEventListModel::data(const QModelIndex& index, int role) const
{
    // The tile delegate paints from the row's EVENT; the text serves the view's own needs.
    const EVENT* e = index.isValid() ? eventAt(index.row()) : nullptr;
    if (!e || role != Qt::DisplayRole)
        return {};
    return MessageText(*e);
}
