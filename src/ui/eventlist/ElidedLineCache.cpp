#include "ui/eventlist/ElidedLineCache.h"

#include <QFontMetrics>
#include <QTextOption>

const QStaticText& ElidedLineCache::Line(const void* row, int line, const QString& text,
                                         const QFont& font, int width,
                                         Qt::LayoutDirection direction)
{
    if (m_rows.size() >= kMaxRows && !m_rows.contains(row))
        m_rows.clear();
    Entry& entry = m_rows[row][size_t(qBound(0, line, kLinesPerRow - 1))];
    if (entry.width == width && entry.direction == direction && entry.text == text &&
        entry.font == font)
        return entry.shown;
    entry.text = text;
    entry.font = font;
    entry.width = width;
    entry.direction = direction;
    // Plain text: a host's names are never read as markup.
    entry.shown.setTextFormat(Qt::PlainText);
    QTextOption option;
    option.setTextDirection(direction);
    option.setWrapMode(QTextOption::NoWrap);
    entry.shown.setTextOption(option);
    entry.shown.setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, width));
    entry.shown.prepare(QTransform(), font);
    return entry.shown;
}
