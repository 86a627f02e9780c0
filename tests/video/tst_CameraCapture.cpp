// Writing captured frames as snapshot files: encoded pictures stored again as JPEG, raw frames
// through the colour converter in the format the extension names, files that appear whole or
// not at all, the completion report from the library's thread, and the picture path rules.
#include "video/CameraCapture.h"
#include "video/KRVideoMessages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

namespace {

enum class Frame
{
    Jpeg,
    Raw,
    Garbage,
    ShortRaw,
    OddHeightCut // an odd height whose last chroma row is missing
};

// A frame as the library delivers it: a JPEG picture (format 1), or a tightly packed I420
// frame of one colour (format 0; data size / height is the converter's row length).
struct TestFrame
{
    KRVideoFrame record{};
    QByteArray data;
};

constexpr int kWidth = 32;
constexpr int kHeight = 16;

TestFrame MakeFrame(Frame kind)
{
    TestFrame frame;
    frame.record.camera = 0;
    frame.record.width = kWidth;
    frame.record.height = kHeight;
    switch (kind) {
    case Frame::Jpeg: {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(QColor(20, 60, 200));
        QBuffer buffer(&frame.data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG"); // any encoded picture; it is stored again as JPEG
        frame.record.format = 1;
        break;
    }
    case Frame::Garbage:
        frame.data = QByteArray(200, 'x');
        frame.record.format = 1;
        break;
    case Frame::Raw:
    case Frame::ShortRaw:
    case Frame::OddHeightCut: {
        if (kind == Frame::OddHeightCut)
            frame.record.height = kHeight - 1;
        // BT.601 limited range red: Y 81, U 90, V 240.
        const int luma = kWidth * frame.record.height;
        frame.data = QByteArray(luma, char(81)) + QByteArray(luma / 4, char(90)) +
                     QByteArray(luma / 4, char(240));
        if (kind == Frame::ShortRaw)
            frame.data.truncate(frame.data.size() / 3); // rows too short for the width
        frame.record.stride = kWidth;
        frame.record.fourcc = 0x30323449; // 'I420'
        frame.record.converterFormat = 1;
        frame.record.format = 0;
        break;
    }
    }
    frame.record.dataSize = int(frame.data.size());
    return frame;
}

QByteArray Head(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
}

const QByteArray kJpegHead("\xFF\xD8\xFF", 3);
const QByteArray kPngHead("\x89PNG", 4);
const QByteArray kBmpHead("BM", 2);

} // namespace

class tst_CameraCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writeFrame_data();
    void writeFrame();
    void failedWriteKeepsTheOldFile();
    void callbackReportsCompletion();
    void fullPath_data();
    void fullPath();
};

void tst_CameraCapture::writeFrame_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head"); // empty: no file

    QTest::newRow("picture as .jpg") << int(Frame::Jpeg) << "a.jpg" << kJpegHead;
    QTest::newRow("picture as .png: still JPEG") << int(Frame::Jpeg) << "a.png" << kJpegHead;
    QTest::newRow("undecodable picture") << int(Frame::Garbage) << "a.jpg" << QByteArray();
    QTest::newRow("raw frame as .jpg") << int(Frame::Raw) << "a.jpg" << kJpegHead;
    QTest::newRow("raw frame as .JPEG") << int(Frame::Raw) << "a.JPEG" << kJpegHead;
    QTest::newRow("raw frame as .png") << int(Frame::Raw) << "a.png" << kPngHead;
    QTest::newRow("raw frame as .bmp") << int(Frame::Raw) << "a.bmp" << kBmpHead;
    QTest::newRow("raw frame, extension no encoder lists")
        << int(Frame::Raw) << "a.xyz" << QByteArray();
    QTest::newRow("raw frame without extension") << int(Frame::Raw) << "a" << QByteArray();
    QTest::newRow("raw frame too short") << int(Frame::ShortRaw) << "a.png" << QByteArray();
    QTest::newRow("raw frame of odd height, last chroma row missing")
        << int(Frame::OddHeightCut) << "a.png" << QByteArray();
}

void tst_CameraCapture::writeFrame()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const TestFrame frame = MakeFrame(Frame(kind));

    const bool written = CameraCapture::WriteFrame(
        frame.record, reinterpret_cast<const std::uint8_t*>(frame.data.constData()), path);
    QCOMPARE(written, !head.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), written ? 1 : 0);
    if (!written)
        return;
    QVERIFY(Head(path).startsWith(head));
    const QImage picture(path);
    QCOMPARE(picture.size(), QSize(kWidth, kHeight));
    const QColor pixel = picture.pixelColor(kWidth / 2, kHeight / 2);
    const QColor expected = Frame(kind) == Frame::Raw ? QColor(255, 0, 0) : QColor(20, 60, 200);
    QVERIFY2(qAbs(pixel.red() - expected.red()) < 16 &&
                 qAbs(pixel.green() - expected.green()) < 16 &&
                 qAbs(pixel.blue() - expected.blue()) < 16,
             qPrintable(pixel.name()));
}

void tst_CameraCapture::failedWriteKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("EV.1-1.jpg"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old picture");
    }
    const TestFrame garbage = MakeFrame(Frame::Garbage);
    QVERIFY(!CameraCapture::WriteFrame(
        garbage.record, reinterpret_cast<const std::uint8_t*>(garbage.data.constData()), path));
    QCOMPARE(Head(path), QByteArray("old "));

    // A picture replaces it whole; no temporary file stays behind.
    const TestFrame frame = MakeFrame(Frame::Raw);
    QVERIFY(CameraCapture::WriteFrame(
        frame.record, reinterpret_cast<const std::uint8_t*>(frame.data.constData()), path));
    QVERIFY(Head(path).startsWith(kJpegHead));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("EV.1-1.jpg")});
}

void tst_CameraCapture::callbackReportsCompletion()
{
    QTemporaryDir dir;
    QSignalSpy finished(&KRVideoMessages::instance(), &KRVideoMessages::captureFinished);
    const TestFrame frame = MakeFrame(Frame::Raw);
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.data.constData());
    auto request = [&](const QString& name) {
        return new CameraCapture::Request{dir.filePath(name)};
    };

    // On the library's thread: a picture; a frame whose file cannot be written (reported all
    // the same); no frame (the capture failed: nothing reported); no request at all.
    std::thread([&] {
        CameraCapture::Callback(1, 0, &frame.record, data, request(QStringLiteral("a.jpg")));
        CameraCapture::Callback(1, 0, &frame.record, data, request(QStringLiteral("b.xyz")));
        CameraCapture::Callback(1, 0, nullptr, nullptr, request(QStringLiteral("c.jpg")));
        CameraCapture::Callback(1, 0, &frame.record, nullptr, request(QStringLiteral("d.jpg")));
        CameraCapture::Callback(1, 0, &frame.record, data, nullptr);
    }).join();
    QCOMPARE(finished.size(), 2);
    QCOMPARE(finished[0], (QList<QVariant>{dir.filePath(QStringLiteral("a.jpg")), true}));
    QCOMPARE(finished[1], (QList<QVariant>{dir.filePath(QStringLiteral("b.xyz")), false}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.jpg")});
}

void tst_CameraCapture::fullPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // relative to the folder; "-": refused

    QTest::newRow("day folder and file") << "20240101/EV.20240101.0000000007-1.jpg"
                                         << "20240101/EV.20240101.0000000007-1.jpg";
    QTest::newRow("redundant parts") << "./20240101//a.jpg"
                                     << "20240101/a.jpg";
    QTest::newRow("empty") << ""
                           << "-";
    QTest::newRow("absolute") << "/etc/passwd"
                              << "-";
    QTest::newRow("leaves the folder") << "../a.jpg"
                                       << "-";
    QTest::newRow("leaves and comes back") << "../KRNotifyPic/a.jpg"
                                           << "a.jpg";
    QTest::newRow("the folder itself") << "."
                                       << "-";
    // The path limit: two names that differ only in length (the folder and its slash take
    // 21 of the 4095 bytes).
    QTest::newRow("longest path") << QString(4074, QLatin1Char('a'))
                                  << QString(4074, QLatin1Char('a'));
    QTest::newRow("one byte too long") << QString(4075, QLatin1Char('a')) << "-";
    QTest::newRow("too long") << QString(5000, QLatin1Char('a')) + ".jpg"
                              << "-";
}

void tst_CameraCapture::fullPath()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString folder = QStringLiteral("/tmp/krn/KRNotifyPic");
    const QString path = CameraCapture::FullPath(folder, name);
    if (expected == QLatin1String("-"))
        QCOMPARE(path, QString());
    else
        QCOMPARE(path, QDir::cleanPath(folder + QLatin1Char('/') + expected));
}

QTEST_GUILESS_MAIN(tst_CameraCapture)
#include "tst_CameraCapture.moc"
