#pragma once

#include "ui/eventlist/CThumbnail.h"
#include "ui/eventlist/ElidedLineCache.h"

#include <QPointer>
#include <QStyledItemDelegate>

class CEventListCtrlCallback;

// Draws one event as a 350-pixel tile: thumbnail, message, device and local time, coloured by
// its handling state (new: white on orange, handling: white on green, handled: black).
class EventTileDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kTileWidth = 350;
    static constexpr int kPadding = 3;

    static QColor NewColor() { return QColor(236, 118, 0); }
    static QColor HandlingColor() { return QColor(0, 128, 0); }

    EventTileDelegate(CEventListCtrlCallback* callback, CThumbnail* thumbnails,
                      QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The device line of a row (its owner's answer, "N/A" without one).
    QString DeviceText(const QModelIndex& index) const;
    void setCallback(CEventListCtrlCallback* callback) { m_callback = callback; }

private:
    // Where the parts of a tile go: the one place that knows a tile's geometry.
    struct TileGeometry
    {
        QRect tile;
        QRect picture;
        QRect lines[ElidedLineCache::kLinesPerRow]; // message, device, local time
        bool rightToLeft = false;
    };
    static TileGeometry Geometry(const QStyleOptionViewItem& option);

    CEventListCtrlCallback* m_callback;
    QPointer<CThumbnail> m_thumbnails;
    mutable ElidedLineCache m_lines;
};
