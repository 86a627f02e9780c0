#include "ui/eventlist/EventPopupText.h"

#include "events/EventListModel.h"
#include "events/EventRow.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

const QSize kPictureBox(480, 360);

// Escapes text for the markup; the renderer turns the entities back into characters.
QString escaped(const QString& text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\''), QLatin1String("&#39;"));
    return out;
}

QString unescaped(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

bool readable(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace

QString EventPopupStyleSheet()
{
    return QStringLiteral("body {font-size: 12pt; color: black; font-family: Verdana}\n"
                          "h1 {font-size: 16pt; color: #0044AA; font-family: Verdana; "
                          "font-weight:bold}\n"
                          "h2 {font-size: 6pt}\n");
}

QString BuildEventPopupText(const EVENT& event, const QString& deviceText)
{
    QString text = QLatin1String(" <h1>") + CEventListModel::MessageText(event) +
                   QLatin1String("</h1><br><h2> </h2><br> ") + escaped(deviceText) +
                   QLatin1String("<br> ") + escaped(event.localTime.toDisplayText()) +
                   QLatin1String("<br><hr><br><h2> </h2><br>");
    for (const QString& path : event.snapshotPaths) {
        if (readable(path))
            text += QLatin1String("<jpg file='") + escaped(path) +
                    QLatin1String("' width='480' height='360'>  ");
    }
    if (text.endsWith(QLatin1Char(' ')))
        text.chop(2);
    return text;
}

QSize FitPopupPicture(const QSize& picture, const QSize& box)
{
    if (picture.width() <= box.width() && picture.height() <= box.height())
        return picture;
    const double factor =
        std::max(double(picture.height()) / box.height(), double(picture.width()) / box.width());
    return QSize(qRound(picture.width() / factor), qRound(picture.height() / factor));
}

PopupPictureCache::PopupPictureCache() : m_loader(&PopupPictureCache::LoadFitted) {}

QImage PopupPictureCache::LoadFitted(const QString& path, const QSize& box)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(FitPopupPicture(size, box));
    QImage picture = reader.read();
    if (!picture.isNull() && !size.isValid())
        picture = picture.scaled(FitPopupPicture(picture.size(), box), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    return picture.isNull() ? picture : picture.convertToFormat(QImage::Format_RGB888);
}

QImage PopupPictureCache::Picture(const QString& path, const QSize& box)
{
    const QFileInfo info(path);
    const auto found = m_entries.constFind(path);
    if (found != m_entries.constEnd() && found->fileSize == info.size() &&
        found->modified == info.lastModified())
        return found->picture;
    const QImage picture = m_loader(path, box);
    if (picture.isNull())
        return picture;
    if (!m_entries.contains(path)) {
        while (m_order.size() >= kCapacity)
            m_entries.remove(m_order.takeFirst());
        m_order.append(path);
    }
    m_entries.insert(path, Entry{picture, info.size(), info.lastModified()});
    return picture;
}

void RenderPopupMarkup(const QString& markup, QTextDocument& document, PopupPictureCache& cache)
{
    static const QRegularExpression jpg(
        QStringLiteral("^jpg\\s+file='([^']*)'\\s+width='(\\d{1,5})'\\s+height='(\\d{1,5})'\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    document.clear();
    document.setDefaultStyleSheet(EventPopupStyleSheet());
    QString html = QStringLiteral("<html><body>");
    int pictures = 0;
    qsizetype pos = 0;
    while (pos < markup.size()) {
        const qsizetype open = markup.indexOf(QLatin1Char('<'), pos);
        const qsizetype close = open < 0 ? -1 : markup.indexOf(QLatin1Char('>'), open);
        if (open < 0 || close < 0) {
            html += unescaped(markup.mid(pos)).toHtmlEscaped();
            break;
        }
        html += unescaped(markup.mid(pos, open - pos)).toHtmlEscaped();
        const QString tag = markup.mid(open + 1, close - open - 1).trimmed();
        const QString name = tag.toLower();
        pos = close + 1;
        if (name == QLatin1String("h1") || name == QLatin1String("/h1") ||
            name == QLatin1String("h2") || name == QLatin1String("/h2") ||
            name == QLatin1String("br") || name == QLatin1String("hr")) {
            html += QLatin1Char('<') + name + QLatin1Char('>');
            continue;
        }
        const QRegularExpressionMatch m = jpg.match(tag);
        if (!m.hasMatch()) {
            html += unescaped(markup.mid(open, close - open + 1)).toHtmlEscaped();
            continue;
        }
        const QSize box(m.captured(2).toInt(), m.captured(3).toInt());
        if (box.isEmpty())
            continue;
        const QImage picture = cache.Picture(unescaped(m.captured(1)), box);
        if (picture.isNull())
            continue;
        const QUrl resource(QStringLiteral("krnpicture:%1").arg(pictures++));
        document.addResource(QTextDocument::ImageResource, resource, picture);
        html += QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\">")
                    .arg(resource.toString())
                    .arg(picture.width())
                    .arg(picture.height());
    }
    html += QStringLiteral("</body></html>");
    document.setHtml(html);
}
