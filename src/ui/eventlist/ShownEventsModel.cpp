#include "ui/eventlist/ShownEventsModel.h"

#include <algorithm>

ShownEventsModel::ShownEventsModel(CEventListModel& events, std::function<bool()> onScreen,
                                   QObject* parent)
    : QAbstractListModel(parent), m_events(&events), m_onScreen(std::move(onScreen)),
      m_frame([this] { Publish(); })
{
    connect(&events, &QAbstractItemModel::rowsInserted, this, &ShownEventsModel::Changed);
    connect(&events, &QAbstractItemModel::rowsRemoved, this, &ShownEventsModel::Changed);
    connect(&events, &QAbstractItemModel::modelReset, this, &ShownEventsModel::Changed);
    connect(&events, &QAbstractItemModel::dataChanged, this, &ShownEventsModel::RowsChanged);
    connect(&events, &QObject::destroyed, this, &ShownEventsModel::Publish);
    Publish();
}

void ShownEventsModel::Changed()
{
    if (m_onScreen && m_onScreen())
        m_frame.Request();
    else
        Publish();
}

void ShownEventsModel::RowsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        m_changed.insert(m_events->eventAt(row));
    Changed();
}

void ShownEventsModel::Publish()
{
    static const std::vector<std::shared_ptr<EVENT>> kNone;
    const auto& rows = m_events ? m_events->rows() : kNone;

    // Rows that left the list go first, from the bottom up, in runs.
    QSet<const EVENT*> listed;
    listed.reserve(qsizetype(rows.size()));
    for (const auto& row : rows)
        listed.insert(row.get());
    for (int last = int(m_shown.size()) - 1; last >= 0;) {
        if (listed.contains(m_shown[size_t(last)].get())) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !listed.contains(m_shown[size_t(first) - 1].get()))
            --first;
        beginRemoveRows({}, first, last);
        m_shown.erase(m_shown.begin() + first, m_shown.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }

    // The rows left keep the list's order: the new ones go in between, in runs.
    for (size_t row = 0; row < rows.size();) {
        if (row < m_shown.size() && m_shown[row] == rows[row]) {
            ++row;
            continue;
        }
        const EVENT* next = row < m_shown.size() ? m_shown[row].get() : nullptr;
        size_t last = row;
        while (last + 1 < rows.size() && rows[last + 1].get() != next)
            ++last;
        beginInsertRows({}, int(row), int(last));
        m_shown.insert(m_shown.begin() + qsizetype(row), rows.begin() + qsizetype(row),
                       rows.begin() + qsizetype(last) + 1);
        endInsertRows();
        row = last + 1;
    }

    // Changed rows are repainted together.
    int first = -1, last = -1;
    for (int row = 0; row < int(m_shown.size()) && !m_changed.isEmpty(); ++row) {
        if (m_changed.contains(m_shown[size_t(row)].get())) {
            first = first < 0 ? row : first;
            last = row;
        }
    }
    m_changed.clear();
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last));
}

EVENT* ShownEventsModel::eventAt(int row) const
{
    return row >= 0 && row < int(m_shown.size()) ? m_shown[size_t(row)].get() : nullptr;
}

int ShownEventsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant ShownEventsModel::data(const QModelIndex& index, int role) const
{
    // The tile delegate paints from the row's EVENT; the text serves the view's own needs.
    const EVENT* e = index.isValid() ? eventAt(index.row()) : nullptr;
    if (!e || role != Qt::DisplayRole)
        return {};
    return CEventListModel::MessageText(*e);
}
