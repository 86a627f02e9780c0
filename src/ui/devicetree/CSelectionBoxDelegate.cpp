#include "ui/devicetree/CSelectionBoxDelegate.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>

namespace {

struct BoxColours
{
    QColor outer, inner, top, bottom;
};

const BoxColours kActive{{170, 200, 245}, {230, 250, 250}, {210, 240, 250}, {185, 215, 250}};
const BoxColours kInactive{{215, 215, 215}, {240, 240, 240}, {245, 245, 245}, {230, 230, 230}};

// Text starts this far right of the label box's left edge.
constexpr int kTextIndent = 2;
constexpr int kLabelMargin = 6;

// A 1-pixel frame drawn on the pixels of rect's border, with corners of the given size.
void DrawRoundFrame(QPainter& painter, const QRect& rect, qreal corner, const QColor& colour)
{
    painter.setPen(QPen(colour, 1));
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), corner / 2, corner / 2);
}

} // namespace

void CSelectionBoxDelegate::DrawSelectionBox(bool active, QPainter& painter, const QRect& rect)
{
    const BoxColours& colours = active ? kActive : kInactive;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(QApplication::palette().color(QPalette::Base));
    DrawRoundFrame(painter, rect, 6, colours.outer);
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    DrawRoundFrame(painter, inner, 2, colours.inner);
    const QRect fill = inner.adjusted(1, 1, -1, -1);
    if (fill.isValid()) {
        QLinearGradient gradient(fill.topLeft(), fill.bottomLeft());
        gradient.setColorAt(0, colours.top);
        gradient.setColorAt(1, colours.bottom);
        painter.fillRect(fill, gradient);
    }
    painter.restore();
}

QRect CSelectionBoxDelegate::LabelRect(const QStyleOptionViewItem& option)
{
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget);
    const int width = option.fontMetrics.horizontalAdvance(option.text) + kLabelMargin;
    return QRect(text.left(), text.top(), qMin(width, text.width()), text.height());
}

void CSelectionBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();

    painter->save();
    const QRect iconRect =
        style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, opt.widget);
    opt.icon.paint(painter, iconRect, opt.decorationAlignment);

    const QRect label = LabelRect(opt);
    painter->fillRect(label, Qt::white);
    if (opt.state & QStyle::State_Selected) {
        const bool active = opt.widget && opt.widget->hasFocus();
        DrawSelectionBox(active, *painter, label);
    }
    painter->setPen(opt.palette.color(QPalette::WindowText));
    painter->setFont(opt.font);
    painter->drawText(label.adjusted(kTextIndent, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, opt.text);
    painter->restore();
}
