#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

class CAlphaToolBar;

// Three lists of equally sized images for a toolbar: normal, hot (a darker, richer version shown
// under the mouse) and disabled (grey, brightened). Pictures keep their alpha channel.
class CAlphaImageList
{
public:
    static constexpr int kImageSize = 32;

    // Empties the lists and sets the image size; always succeeds here (32-bit images with alpha
    // are always available).
    bool CreateLists();
    // Renders an icon file (SVG or bitmap) at the list's size and adds it. A file that cannot be
    // read adds a transparent picture, so the following images keep their indices.
    bool AddIcon(const QString& path);
    // Adds the normal, disabled and hot versions of the picture; nothing when the lists do not
    // exist or the picture is null.
    void AddBitmap(const QImage& image);
    // Gives every button of the toolbar its icon (normal, hot and disabled modes).
    void AttachToToolBar(CAlphaToolBar& toolBar) const;

    int width() const { return m_width; }
    int height() const { return m_height; }
    int count() const { return int(m_normal.size()); }
    const QImage& normal(int index) const { return m_normal.at(index); }
    const QImage& hot(int index) const { return m_hot.at(index); }
    const QImage& disabled(int index) const { return m_disabled.at(index); }
    // The three versions as one icon: Normal, Active (hot) and Disabled modes.
    QIcon icon(int index) const;

    // Disabled: grey = trunc(255 * sqrt((0.299 R + 0.587 G + 0.114 B) / 255)) for R, G and B.
    static QRgb DisabledPixel(QRgb pixel);
    // Hot: every colour channel c becomes trunc(255 * (c / 255)^1.4).
    static QRgb HotPixel(QRgb pixel);

private:
    static QImage Convert(const QImage& image, QRgb (*pixel)(QRgb));

    bool m_created = false;
    int m_width = -1;
    int m_height = -1;
    QList<QImage> m_normal;
    QList<QImage> m_hot;
    QList<QImage> m_disabled;
};
