#pragma once

#include "ui/eventlist/CThumbnail.h"

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
    CEventListCtrlCallback* m_callback;
    QPointer<CThumbnail> m_thumbnails;
};
