#include "ui/eventlist/CThumbnail.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kWait = 10000;
const QColor kPlaceholder(0, 200, 0);

// A picture whose left half is red and right half blue, in the format its suffix names.
bool writeHalves(const QString& path, QSize size = QSize(160, 120))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixelColor(x, y, Qt::red);
    return image.save(path);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Colours compared with room for smooth scaling.
bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) < 16 && qAbs(a.green() - b.green()) < 16 &&
           qAbs(a.blue() - b.blue()) < 16;
}

struct Fixture
{
    QTemporaryDir dir;
    QString placeholder = dir.filePath(QStringLiteral("NoImage.png"));
    CThumbnail loader{placeholder};

    Fixture()
    {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(kPlaceholder);
        image.save(placeholder, "PNG");
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Asks until the thumbnail is finished (each ask is a paint of the row).
    int finished(const QStringList& paths, bool rightToLeft = false)
    {
        int index = 0;
        QTest::qWaitFor(
            [&] {
                index = loader.GetThumbnailIndex(paths, rightToLeft);
                return index > 0;
            },
            kWait);
        return index;
    }
};

} // namespace

class tst_Thumbnail : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyFollowsTheFilesThatExist();
    void cells_data();
    void cells();
    void waitingRequestsAreCapped();
    void fullCacheResetsAtOnce();
    void undecodableFileIsRemembered();
};

void tst_Thumbnail::keyFollowsTheFilesThatExist()
{
    Fixture f;
    f.loader.Start();
    const QStringList paths{f.path("EV-1.png"), f.path("EV-2.png")};

    // Nothing downloaded yet: the blank placeholder, nothing queued.
    QCOMPARE(f.loader.GetThumbnailIndex(paths, false), 0);
    QCOMPARE(f.loader.pendingCount(), 0);
    QCOMPARE(CThumbnail::KeyOf(paths), QString());

    // The second picture arrives: a thumbnail keyed by that file alone.
    QVERIFY(writeHalves(paths[1]));
    QCOMPARE(CThumbnail::KeyOf(paths), paths[1]);
    const int second = f.finished(paths);
    QVERIFY(second > 0);
    QCOMPARE(f.loader.GetThumbnailIndex(paths, false), second); // cached

    // The first one too: a new key and a new thumbnail.
    QVERIFY(writeHalves(paths[0]));
    QCOMPARE(CThumbnail::KeyOf(paths), paths[0] + paths[1]);
    QCOMPARE(f.loader.GetThumbnailIndex(paths, false), 0); // pending again
    const int both = f.finished(paths);
    QVERIFY(both > second);
    QCOMPARE(f.loader.imageCount(), 3);
}

void tst_Thumbnail::cells_data()
{
    QTest::addColumn<bool>("firstExists");
    QTest::addColumn<bool>("rightToLeft");
    // Expected colours at the left and right quarter of each cell.
    QTest::addColumn<QList<QColor>>("colours");
    const QColor g = kPlaceholder;
    QTest::newRow("missing first shows the placeholder")
        << false << false << QList<QColor>{g, g, Qt::red, Qt::blue};
    QTest::newRow("two pictures") << true << false
                                  << QList<QColor>{Qt::red, Qt::blue, Qt::red, Qt::blue};
    QTest::newRow("right to left mirrors within each cell")
        << true << true << QList<QColor>{Qt::blue, Qt::red, Qt::blue, Qt::red};
}

void tst_Thumbnail::cells()
{
    QFETCH(bool, firstExists);
    QFETCH(bool, rightToLeft);
    QFETCH(QList<QColor>, colours);
    Fixture f;
    f.loader.Start();
    const QStringList paths{f.path("a.png"), f.path("b.png"), f.path("c.png")};
    if (firstExists)
        QVERIFY(writeHalves(paths[0]));
    QVERIFY(writeHalves(paths[1], QSize(1920, 1080))); // stretched into the cell
    QVERIFY(writeBytes(paths[2], "not a picture"));    // third path: no cell, never decoded
    const QImage thumbnail = f.loader.image(f.finished(paths, rightToLeft));
    QCOMPARE(thumbnail.size(), QSize(CThumbnail::kWidth, CThumbnail::kHeight));
    const int y = CThumbnail::kCellHeight / 2;
    const int xs[] = {10, 70, 90, 150};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(
            near(thumbnail.pixelColor(xs[i], y), colours[i]),
            qPrintable(
                QStringLiteral("x=%1: %2").arg(xs[i]).arg(thumbnail.pixelColor(xs[i], y).name())));
}

void tst_Thumbnail::waitingRequestsAreCapped()
{
    Fixture f; // not started: requests only wait
    QStringList keys;
    for (int i = 0; i < CThumbnail::kMaxPending + 5; ++i) {
        const QString path = f.path(QStringLiteral("p%1.png").arg(i));
        QVERIFY(writeHalves(path, QSize(8, 6)));
        keys << path;
        QCOMPARE(f.loader.GetThumbnailIndex({path}, false), 0);
    }
    QCOMPARE(f.loader.pendingCount(), CThumbnail::kMaxPending);
    // The oldest five were dropped with their keys; the newest wait.
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(f.loader.isKnown(keys[i]), i >= 5);
    // A dropped row asks again on its next paint and pushes out the next oldest.
    f.loader.GetThumbnailIndex({keys[0]}, false);
    QVERIFY(f.loader.isKnown(keys[0]));
    QVERIFY(!f.loader.isKnown(keys[5]));
    QCOMPARE(f.loader.pendingCount(), CThumbnail::kMaxPending);
}

void tst_Thumbnail::fullCacheResetsAtOnce()
{
    Fixture f;
    f.loader.Start();
    const QString picture = f.path("p.png");
    QVERIFY(writeHalves(picture, QSize(8, 6)));
    // Distinct keys for the same picture: one more path segment each ("d/./p.png").
    auto pathOf = [&](int i) -> QString {
        return f.dir.path() + QString(QStringLiteral("/.")).repeated(i + 1) + "/p.png";
    };
    const int total = CThumbnail::kCapacity + 1;
    for (int first = 0; first < total; first += CThumbnail::kMaxPending) {
        const int last = qMin(total, first + CThumbnail::kMaxPending);
        for (int i = first; i < last; ++i)
            f.loader.GetThumbnailIndex({pathOf(i)}, false);
        QTRY_COMPARE_WITH_TIMEOUT(f.loader.imageCount(), last + 1, kWait);
    }
    QCOMPARE(f.loader.imageCount(), total + 1);
    QVERIFY(f.loader.isKnown(pathOf(0)));
    // The next request, even for a finished key, first resets the whole cache.
    QCOMPARE(f.loader.GetThumbnailIndex({pathOf(0)}, false), 0);
    QVERIFY(!f.loader.isKnown(pathOf(1)));
    QVERIFY(f.finished({pathOf(0)}) > 0); // rows ask again
    QCOMPARE(f.loader.imageCount(), 2);
}

void tst_Thumbnail::undecodableFileIsRemembered()
{
    Fixture f;
    f.loader.Start();
    QSignalSpy ready(&f.loader, &CThumbnail::thumbnailReady);
    const QString bad = f.path("EV.jpg");
    QVERIFY(writeBytes(bad, QByteArray())); // the empty file of a failed transfer
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("LoadPicture Error"));
    QCOMPARE(f.loader.GetThumbnailIndex({bad}, false), 0);
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, kWait);
    QVERIFY(!f.loader.isKnown(bad));

    // Repaints do not decode the same file again.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(f.loader.GetThumbnailIndex({bad}, false), 0);
    QCOMPARE(f.loader.pendingCount(), 0);
    QVERIFY(!f.loader.isKnown(bad));

    // Once the file changes it is tried again.
    QVERIFY(writeHalves(bad));
    QVERIFY(f.finished({bad}) > 0);
}

QTEST_MAIN(tst_Thumbnail)
#include "tst_Thumbnail.moc"
