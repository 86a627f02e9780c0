#include "ui/eventlist/CEventListCtrl.h"

#include "events/EventListModel.h"
#include "ui/eventlist/CEventListCtrlCallback.h"
#include "ui/eventlist/CEventPopup.h"
#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/EventPopupText.h"
#include "ui/eventlist/EventTileDelegate.h"
#include "ui/eventlist/ShownEventsModel.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

CEventListCtrl::CEventListCtrl(CEventListCtrlCallback* callback, CEventListModel& model,
                               CThumbnail* thumbnails, QWidget* parent)
    : QListView(parent), m_callback(callback), m_model(&model),
      m_shown(new ShownEventsModel(
          model, [this] { return isVisible(); }, this)),
      m_delegate(new EventTileDelegate(callback, thumbnails, this)), m_popup(new CEventPopup(this))
{
    setObjectName(QStringLiteral("EventList"));
    setModel(m_shown);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setMouseTracking(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSpacing(1);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (!m_callback)
                    return;
                if (!deselected.isEmpty())
                    m_callback->OnEventSelected(nullptr);
                if (!selected.isEmpty())
                    m_callback->OnEventSelected(selectedEvent());
            });
    if (thumbnails)
        connect(thumbnails, &CThumbnail::thumbnailReady, viewport(), qOverload<>(&QWidget::update),
                Qt::QueuedConnection);
    m_popup->setContentProvider([this](const QPoint& p) { return PopupContentAt(p); });
    connect(m_popup, &CEventPopup::hidden, this, [this] { m_popupPictures.Drop(); });
}

void CEventListCtrl::setCallback(CEventListCtrlCallback* callback)
{
    m_callback = callback;
    m_delegate->setCallback(callback);
}

EVENT* CEventListCtrl::selectedEvent() const
{
    if (!selectionModel())
        return nullptr;
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? nullptr : m_shown->eventAt(rows.constFirst().row());
}

const EVENT* CEventListCtrl::EventAt(const QPoint& globalPos, QModelIndex* index) const
{
    const QModelIndex at = indexAt(viewport()->mapFromGlobal(globalPos));
    if (index)
        *index = at;
    return at.isValid() ? m_shown->eventAt(at.row()) : nullptr;
}

QString CEventListCtrl::PopupTextAt(const QPoint& globalPos) const
{
    QModelIndex index;
    const EVENT* e = EventAt(globalPos, &index);
    return e ? BuildEventPopupText(*e, m_delegate->DeviceText(index)) : QString();
}

QString CEventListCtrl::PopupContentAt(const QPoint& globalPos)
{
    const QString text = PopupTextAt(globalPos);
    const EVENT* e = text.isEmpty() ? nullptr : EventAt(globalPos);
    if (e && m_model)
        m_popupPictures.Hold(m_model->pictureFiles(), e->snapshotPaths);
    return text;
}

void CEventListCtrl::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    if (m_callback)
        m_callback->OnEventSelected(selectedEvent());
}

bool CEventListCtrl::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        m_popup->PointerMoved(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        break;
    case QEvent::Leave:
        m_popup->PointerLeft();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        m_popup->hide();
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void CEventListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    Q_EMIT eventMenuRequested(event->globalPos());
}
