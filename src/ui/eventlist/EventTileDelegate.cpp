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

EventTileDelegate::TileGeometry EventTileDelegate::Geometry(const QStyleOptionViewItem& option)
{
    TileGeometry g;
    g.tile = option.rect.adjusted(0, 0, -1, -1);
    g.rightToLeft = option.direction == Qt::RightToLeft;
    g.picture = QRect(g.tile.left() + kPadding, g.tile.top() + kPadding, CThumbnail::kWidth,
                      CThumbnail::kHeight);
    if (g.rightToLeft)
        g.picture.moveRight(g.tile.right() - kPadding);
    QRect text = g.tile.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (g.rightToLeft)
        text.setRight(g.picture.left() - kPadding);
    else
        text.setLeft(g.picture.right() + 1 + kPadding);
    const int lineHeight = option.fontMetrics.height();
    for (int i = 0; i < ElidedLineCache::kLinesPerRow; ++i)
        g.lines[i] = QRect(text.left(), text.top() + i * lineHeight, text.width(), lineHeight);
    return g;
}

void EventTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const auto* model = qobject_cast<const ShownEventsModel*>(index.model());
    const EVENT* e = model ? model->eventAt(index.row()) : nullptr;
    if (!e)
        return;
    painter->save();
    const TileGeometry g = Geometry(option);

    QColor text = option.palette.color(QPalette::Text);
    if (e->state == EVENT::New || e->state == EVENT::Handling) {
        painter->fillRect(g.tile, e->state == EVENT::New ? NewColor() : HandlingColor());
        text = Qt::white;
    } else {
        painter->fillRect(g.tile, option.palette.base());
        text = Qt::black;
    }

    if (m_thumbnails)
        painter->drawImage(g.picture, m_thumbnails->image(m_thumbnails->GetThumbnailIndex(
                                          e->snapshotPaths, g.rightToLeft)));

    painter->setPen(text);
    QFont bold = option.font;
    bold.setBold(true);
    const QString texts[ElidedLineCache::kLinesPerRow] = {
        CEventListModel::MessageText(*e), DeviceText(index), e->localTime.toDisplayText()};
    for (int i = 0; i < ElidedLineCache::kLinesPerRow; ++i) {
        const QFont& font = i == 0 ? bold : option.font;
        const QRect& line = g.lines[i];
        const QStaticText& shown =
            m_lines.Line(e, i, texts[i], font, line.width(), option.direction);
        const QSizeF size = shown.size();
        const qreal x = g.rightToLeft ? line.right() + 1 - size.width() : line.left();
        painter->setFont(font);
        painter->drawStaticText(QPointF(x, line.top() + (line.height() - size.height()) / 2),
                                shown);
    }

    if (option.state & QStyle::State_Selected) {
        QPen frame(option.palette.color(QPalette::Highlight), 3);
        frame.setJoinStyle(Qt::MiterJoin);
        painter->setPen(frame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(g.tile.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}
