#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

struct EVENT;
class QTextDocument;

// The popup's style sheet, given to its renderer as it stands.
QString EventPopupStyleSheet();

// The popup markup of one row: message heading, device, local time, rule, then one picture
// element per snapshot that can be opened now. Texts that come from a host (device names) and
// the time are escaped; the message text is the string table's own and keeps its markup.
QString BuildEventPopupText(const EVENT& event, const QString& deviceText);

// The size a picture is shown at: larger pictures shrink, proportions kept, to fit the box;
// smaller ones keep their size.
QSize FitPopupPicture(const QSize& picture, const QSize& box);

// Decoded popup pictures by file path; loading a new one drops the oldest beyond kCapacity.
// A file that changed on disk since it was decoded is decoded again.
class PopupPictureCache
{
public:
    static constexpr int kCapacity = 20;
    // Decodes a file at the given size (the loader seam; tests count the calls).
    using Loader = std::function<QImage(const QString& path, const QSize& box)>;

    PopupPictureCache();
    void setLoader(Loader loader) { m_loader = std::move(loader); }

    // The picture fitted into box, or a null image when the file cannot be decoded.
    QImage Picture(const QString& path, const QSize& box);
    int size() const { return int(m_order.size()); }

    static QImage LoadFitted(const QString& path, const QSize& box);

private:
    struct Entry
    {
        QImage picture;
        qint64 fileSize = -1;
        QDateTime modified;
    };
    Loader m_loader;
    QHash<QString, Entry> m_entries;
    QList<QString> m_order; // oldest first
};

// Turns popup markup into a rich-text document: h1, h2, br, hr and
// <jpg file='...' width='...' height='...'>; anything else is shown as text. Only pictures
// named by jpg elements are loaded, through the cache.
void RenderPopupMarkup(const QString& markup, QTextDocument& document, PopupPictureCache& cache);
