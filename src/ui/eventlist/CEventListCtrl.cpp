#include "ui/eventlist/CEventListCtrl.h"

#include "events/EventListModel.h"
#include "ui/eventlist/CEventListCtrlCallback.h"
#include "ui/eventlist/CEventPopup.h"
#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/EventPopupText.h"
#include "ui/eventlist/EventTileDelegate.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

CEventListCtrl::CEventListCtrl(CEventListCtrlCallback* callback, CEventListModel& model,
                               CThumbnail* thumbnails, QWidget* parent)
    : QListView(parent), m_callback(callback), m_model(&model),
      m_delegate(new EventTileDelegate(callback, thumbnails, this)), m_popup(new CEventPopup(this))
{
    setObjectName(QStringLiteral("EventList"));
    setModel(m_model);
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
    m_popup->setContentProvider([this](const QPoint& p) { return PopupTextAt(p); });
}

void CEventListCtrl::setCallback(CEventListCtrlCallback* callback)
{
    m_callback = callback;
    m_delegate->setCallback(callback);
}

EVENT* CEventListCtrl::selectedEvent() const
{
    if (!m_model || !selectionModel())
        return nullptr;
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? nullptr : m_model->eventAt(rows.constFirst().row());
}

QString CEventListCtrl::PopupTextAt(const QPoint& globalPos) const
{
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(globalPos));
    const EVENT* e = index.isValid() && m_model ? m_model->eventAt(index.row()) : nullptr;
    if (!e)
        return {};
    return BuildEventPopupText(*e, m_delegate->DeviceText(index));
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
