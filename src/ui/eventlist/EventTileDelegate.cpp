#include "ui/eventlist/EventTileDelegate.h"

#include "ui/eventlist/CEventListCtrlCallback.h"
#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/ShownEventsModel.h"

#include <QPainter>

EventTileDelegate::EventTileDelegate(CEventListCtrlCallback* callback, CThumbnail* thumbnails,
                                     QObject* parent)
    : QStyledItemDelegate(parent), m_callback(callback), m_thumbnails(thumbnails)
{
}

QSize EventTileDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int lines = 3 * option.fontMetrics.height();
    return QSize(kTileWidth, qMax(CThumbnail::kHeight, lines) + 2 * kPadding);
}

QString EventTileDelegate::DeviceText(const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ShownEventsModel*>(index.model());
    const EVENT* e = model ? model->eventAt(index.row()) : nullptr;
    if (!e || !m_callback)
        return QStringLiteral("N/A");
    return m_callback->GetEventDeviceText(e->hostId, e->controllerId, e->doorId, e->inputId);
}

void EventTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ShownEventsModel*>(index.model());
    const EVENT* e = model ? model->eventAt(index.row()) : nullptr;
    if (!e)
        return;
    painter->save();
    const QRect tile = option.rect.adjusted(0, 0, -1, -1);
    const bool rightToLeft = option.direction == Qt::RightToLeft;

    QColor text = option.palette.color(QPalette::Text);
    if (e->state == EVENT::New || e->state == EVENT::Handling) {
        painter->fillRect(tile, e->state == EVENT::New ? NewColor() : HandlingColor());
        text = Qt::white;
    } else {
        painter->fillRect(tile, option.palette.base());
        text = Qt::black;
    }

    QRect picture(tile.left() + kPadding, tile.top() + kPadding, CThumbnail::kWidth,
                  CThumbnail::kHeight);
    if (rightToLeft)
        picture.moveRight(tile.right() - kPadding);
    if (m_thumbnails)
        painter->drawImage(picture, m_thumbnails->image(m_thumbnails->GetThumbnailIndex(
                                        e->snapshotPaths, rightToLeft)));

    QRect lines = tile.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (rightToLeft)
        lines.setRight(picture.left() - kPadding);
    else
        lines.setLeft(picture.right() + 1 + kPadding);
    const int lineHeight = option.fontMetrics.height();
    const Qt::Alignment align = (rightToLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    painter->setPen(text);
    QFont bold = option.font;
    bold.setBold(true);
    const QString texts[3] = {CEventListModel::MessageText(*e), DeviceText(index),
                              e->localTime.toDisplayText()};
    for (int i = 0; i < 3; ++i) {
        painter->setFont(i == 0 ? bold : option.font);
        const QRect line(lines.left(), lines.top() + i * lineHeight, lines.width(), lineHeight);
        painter->drawText(
            line, int(align),
            QFontMetrics(painter->font()).elidedText(texts[i], Qt::ElideRight, line.width()));
    }

    if (option.state & QStyle::State_Selected) {
        QPen frame(option.palette.color(QPalette::Highlight), 3);
        frame.setJoinStyle(Qt::MiterJoin);
        painter->setPen(frame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(tile.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}
