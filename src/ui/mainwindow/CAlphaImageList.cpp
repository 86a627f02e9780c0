#include "ui/mainwindow/CAlphaImageList.h"

#include "ui/mainwindow/CAlphaToolBar.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cmath>

Q_LOGGING_CATEGORY(lcImageList, "krnotify.ui.imagelist")

bool CAlphaImageList::CreateLists()
{
    m_normal.clear();
    m_hot.clear();
    m_disabled.clear();
    m_width = kImageSize;
    m_height = kImageSize;
    m_created = true;
    return true;
}

bool CAlphaImageList::AddIcon(const QString& path)
{
    if (!m_created)
        return false;
    QImage image(m_width, m_height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    bool loaded = false;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer renderer(path);
        if (renderer.isValid()) {
            QPainter painter(&image);
            renderer.render(&painter, QRectF(0, 0, m_width, m_height));
            loaded = true;
        }
    } else {
        QImage read(path);
        if (!read.isNull()) {
            image = read.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            loaded = true;
        }
    }
    if (!loaded)
        qCWarning(lcImageList) << "icon not loaded:" << path;
    AddBitmap(image);
    return loaded;
}

void CAlphaImageList::AddBitmap(const QImage& image)
{
    if (!m_created || image.isNull())
        return;
    // The formulas work on straight (not premultiplied) colour; alpha stays as it is.
    const QImage normal = image.convertToFormat(QImage::Format_ARGB32);
    m_normal.append(normal);
    m_disabled.append(Convert(normal, &DisabledPixel));
    m_hot.append(Convert(normal, &HotPixel));
}

void CAlphaImageList::AttachToToolBar(CAlphaToolBar& toolBar) const
{
    toolBar.SetImageList(this);
}

QIcon CAlphaImageList::icon(int index) const
{
    QIcon result;
    if (index < 0 || index >= count())
        return result;
    result.addPixmap(QPixmap::fromImage(m_normal.at(index)), QIcon::Normal);
    result.addPixmap(QPixmap::fromImage(m_hot.at(index)), QIcon::Active);
    result.addPixmap(QPixmap::fromImage(m_disabled.at(index)), QIcon::Disabled);
    return result;
}

QRgb CAlphaImageList::DisabledPixel(QRgb pixel)
{
    const double luma = 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
    const int grey = int(255.0 * std::sqrt(luma / 255.0));
    return qRgba(grey, grey, grey, qAlpha(pixel));
}

QRgb CAlphaImageList::HotPixel(QRgb pixel)
{
    const auto channel = [](int c) { return int(255.0 * std::pow(c / 255.0, 1.4)); };
    return qRgba(channel(qRed(pixel)), channel(qGreen(pixel)), channel(qBlue(pixel)),
                 qAlpha(pixel));
}

QImage CAlphaImageList::Convert(const QImage& image, QRgb (*pixel)(QRgb))
{
    QImage result = image;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            line[x] = pixel(line[x]);
    }
    return result;
}
