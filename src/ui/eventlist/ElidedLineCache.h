#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>

#include <array>

// Lines of text as the event tiles draw them: elided to their width and laid out once, kept
// per row until the text, the width, the font or the direction changes. Painting a tile then
// costs no text shaping or eliding, which was most of repainting the event list.
class ElidedLineCache
{
public:
    static constexpr int kLinesPerRow = 3;
    // Rows beyond this many (rows long gone) make the cache start over.
    static constexpr int kMaxRows = 600;

    // The line, ready to draw with drawStaticText; row identifies the tile (any stable key).
    const QStaticText& Line(const void* row, int line, const QString& text, const QFont& font,
                            int width, Qt::LayoutDirection direction);

private:
    struct Entry
    {
        QString text;
        QFont font;
        int width = -1;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        QStaticText shown;
    };
    QHash<const void*, std::array<Entry, kLinesPerRow>> m_rows;
};
