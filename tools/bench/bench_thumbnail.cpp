// Event-list thumbnails: how long a 1920x1080 snapshot takes to decode in full, and how long the
// thumbnail loader takes from request to finished thumbnail (it decodes at the cell size).

#include "BenchTiming.h"
#include "ui/eventlist/CThumbnail.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRuns = 15;
constexpr int kReadyWaitMs = 30000; // a loader that never answers is reported, not waited for

// A camera-like picture: smooth gradients with noise and some edges, so the JPEG has a
// realistic size and decode cost.
QImage MakeSnapshot()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(24));
            line[x] = qRgb((x / 8 + noise) & 0xFF, (y / 5 + noise) & 0xFF, ((x + y) / 12) & 0xFF);
        }
    }
    QPainter painter(&image);
    for (int i = 0; i < 40; ++i)
        painter.fillRect(int(random.bounded(1800)), int(random.bounded(1000)), 120, 80,
                         QColor::fromRgb(random.generate()));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    QGuiApplication app(argc, argv);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("snapshot.jpg"));
    if (!MakeSnapshot().save(source, "JPG", 85)) {
        std::fprintf(stderr, "thumbnail: cannot write %s\n", qPrintable(source));
        return 1;
    }
    std::printf("thumbnail: 1920x1080 JPEG, %lld bytes\n", QFileInfo(source).size());

    Bench::PrintMs("thumbnail", QStringLiteral("full decode 1920x1080"), Bench::Measure(kRuns, [&] {
                       QImageReader reader(source);
                       if (reader.read().isNull())
                           std::fprintf(stderr, "thumbnail: decode failed\n");
                   }));

    // For reference: Qt's decoder asked for the cell size directly, without the loader.
    Bench::PrintMs("thumbnail",
                   QStringLiteral("scaled decode %1x%2 (QImageReader only)")
                       .arg(CThumbnail::kCellWidth)
                       .arg(CThumbnail::kCellHeight),
                   Bench::Measure(kRuns, [&] {
                       QImageReader reader(source);
                       reader.setScaledSize(QSize(CThumbnail::kCellWidth, CThumbnail::kCellHeight));
                       if (reader.read().isNull())
                           std::fprintf(stderr, "thumbnail: decode failed\n");
                   }));

    // The loader caches by path, so every request names files it has not seen yet.
    int copies = 0;
    auto freshCopy = [&] {
        const QString path = dir.filePath(QStringLiteral("copy%1.jpg").arg(copies++));
        QFile::copy(source, path);
        return path;
    };

    CThumbnail thumbnails(dir.filePath(QStringLiteral("no-placeholder.png")));
    QSemaphore ready;
    QObject::connect(
        &thumbnails, &CThumbnail::thumbnailReady, &thumbnails, [&ready] { ready.release(); },
        Qt::DirectConnection);
    thumbnails.Start();

    for (int pictures : {1, 2}) {
        // Files are prepared outside the timed part; each measured run takes the next row.
        std::vector<QStringList> rows;
        for (int run = 0; run < kRuns + 1; ++run) {
            QStringList row;
            for (int p = 0; p < pictures; ++p)
                row << freshCopy();
            rows.push_back(row);
        }
        size_t next = 0;
        const Bench::Figures figures = Bench::Measure(kRuns, [&] {
            const QStringList& row = rows[next++];
            thumbnails.GetThumbnailIndex(row, false);
            if (!ready.tryAcquire(1, kReadyWaitMs))
                std::fprintf(stderr, "thumbnail: loader silent for %d ms\n", kReadyWaitMs);
            else if (thumbnails.GetThumbnailIndex(row, false) == 0)
                std::fprintf(stderr, "thumbnail: no thumbnail made\n");
        });
        Bench::PrintMs("thumbnail",
                       QStringLiteral("loader, row of %1 picture%2 -> %3x%4")
                           .arg(pictures)
                           .arg(pictures > 1 ? "s" : "")
                           .arg(CThumbnail::kWidth)
                           .arg(CThumbnail::kHeight),
                       figures);
    }
    thumbnails.Stop();
    return 0;
}
