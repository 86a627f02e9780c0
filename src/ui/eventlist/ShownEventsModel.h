#pragma once

#include "events/EventListModel.h"
#include "platform/FrameThrottle.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

// The event rows as the list widget shows them. The event list model changes with every
// message; this one follows it at most once per frame while the list is on screen (at once
// while it is not), with the rows inserted, removed and changed since, so the widget lays out
// and repaints once for a whole burst of events. A row removed from the event list stays
// alive here until the frame shows it gone.
class ShownEventsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // onScreen: whether changes should wait for the frame (the widget is visible).
    ShownEventsModel(CEventListModel& events, std::function<bool()> onScreen,
                     QObject* parent = nullptr);

    EVENT* eventAt(int row) const;
    // Brings the shown rows up to date now.
    void Publish();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void Changed();
    void RowsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    QPointer<CEventListModel> m_events;
    std::function<bool()> m_onScreen;
    FrameThrottle m_frame;
    std::vector<std::shared_ptr<EVENT>> m_shown;
    QSet<const EVENT*> m_changed; // compared, never followed: a row may be gone meanwhile
};
