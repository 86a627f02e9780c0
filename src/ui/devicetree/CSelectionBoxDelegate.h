#pragma once

#include <QStyledItemDelegate>

// Draws a tree item as the operator window shows it: the picture, then the label on white in
// the window-text colour, inside a rounded blue box when selected (grey when the tree has not
// the focus).
class CSelectionBoxDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Outer rounded frame, inner rounded frame, then a vertical gradient inside both.
    static void DrawSelectionBox(bool active, QPainter& painter, const QRect& rect);
    // The label's box: the text part of the item, as wide as the text with a small margin.
    static QRect LabelRect(const QStyleOptionViewItem& option);
};
