#pragma once

#include "events/EventListModel.h"
#include "events/SnapshotFiles.h"

#include <QListView>
#include <QPointer>

class CEventListCtrlCallback;
class CEventPopup;
class CThumbnail;
class EventTileDelegate;
class ShownEventsModel;
struct EVENT;

// The operator's event list: one tile per event row of the model, newest first, with a hover
// popup. Reports selection to its owner; a right click asks for the event menu. The model and
// the thumbnail loader belong to the owner; the list copes with either going away first. What
// the list shows follows the model at most once per frame (ShownEventsModel).
class CEventListCtrl : public QListView
{
    Q_OBJECT

public:
    static constexpr int kControlId = 1023;

    // thumbnails may be null: rows then show no picture.
    CEventListCtrl(CEventListCtrlCallback* callback, CEventListModel& model, CThumbnail* thumbnails,
                   QWidget* parent = nullptr);

    CEventListModel* eventModel() const { return m_model; }
    // The rows as shown (the view's model).
    ShownEventsModel* shownEvents() const { return m_shown; }
    // Stops reporting to the owner (the owner is going away).
    void setCallback(CEventListCtrlCallback* callback);
    EVENT* selectedEvent() const;
    CEventPopup* popup() const { return m_popup; }
    // The popup markup for the row under a screen point; empty off the rows.
    QString PopupTextAt(const QPoint& globalPos) const;

Q_SIGNALS:
    // Right click: the owner shows the event menu at this screen point.
    void eventMenuRequested(const QPoint& globalPos);

protected:
    void focusInEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const EVENT* EventAt(const QPoint& globalPos, QModelIndex* index = nullptr) const;
    // The popup's content; the pictures of its row stay while the popup shows them.
    QString PopupContentAt(const QPoint& globalPos);

    CEventListCtrlCallback* m_callback;
    QPointer<CEventListModel> m_model;
    ShownEventsModel* m_shown;
    EventTileDelegate* m_delegate;
    CEventPopup* m_popup;
    SnapshotHold m_popupPictures;
};
