#include "krvideo/color/TNColor.h"

#include <QtTest>
#include <array>
#include <memory>
#include <vector>

namespace {

struct ConverterDeleter
{
    void operator()(ITNColor* c) const { TNColor_Release(c, TNCOLOR_VERSION); }
};
using Converter = std::unique_ptr<ITNColor, ConverterDeleter>;

Converter makeConverter()
{
    return Converter(TNColor_Create(TNCOLOR_VERSION));
}

using Yuv = std::array<int, 3>;
using Bgr = std::array<int, 3>;

// Four pixels of a 2x2 picture in YUY2, I420 and NV12 layouts, every pixel with its own luma
// and each pixel pair / block sharing one chroma pair.
std::vector<std::uint8_t> frame(int format, const std::array<int, 4>& y, int u, int v, int padding)
{
    if (format == TNCOLOR_YUY2) {
        const int stride = 4 + padding;
        std::vector<std::uint8_t> f(stride * 2, 0xEE);
        for (int row = 0; row < 2; ++row) {
            auto* p = f.data() + row * stride;
            p[0] = y[row * 2];
            p[1] = u;
            p[2] = y[row * 2 + 1];
            p[3] = v;
        }
        return f;
    }
    const int stride = 2 + padding;
    std::vector<std::uint8_t> f(stride * 3, 0xEE);
    for (int i = 0; i < 4; ++i)
        f[(i / 2) * stride + i % 2] = y[i];
    if (format == TNCOLOR_NV12) {
        f[stride * 2] = u;
        f[stride * 2 + 1] = v;
    } else {
        f[stride * 2] = u;
        f[stride * 2 + stride / 2] = v;
    }
    return f;
}

int rowLengthFor(int format, int padding)
{
    return format == TNCOLOR_YUY2 ? 4 + padding : (2 + padding) * 3 / 2;
}

} // namespace

class TestTNColor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionGuards()
    {
        QVERIFY(!TNColor_Create(0x83000));
        auto c = makeConverter();
        QVERIFY(c);
        QCOMPARE(c->Version(), TNCOLOR_VERSION);
        TNColor_Release(nullptr, TNCOLOR_VERSION); // harmless
    }

    void referenceColours_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<Yuv>("yuv");
        QTest::addColumn<Bgr>("bgr");
        // BT.601 limited-range values of well-known colours.
        const struct
        {
            const char* name;
            Yuv yuv;
            Bgr bgr;
        } colours[] = {
            {"black", {16, 128, 128}, {0, 0, 0}},
            {"white", {235, 128, 128}, {255, 255, 255}},
            {"mid grey", {126, 128, 128}, {128, 128, 128}},
            {"red", {81, 90, 240}, {0, 0, 255}},
            {"green", {145, 54, 34}, {0, 255, 0}},
            {"blue", {41, 240, 110}, {255, 0, 0}},
            {"yellow", {210, 16, 146}, {0, 255, 255}},
            {"cyan", {170, 166, 16}, {255, 255, 0}},
            {"magenta", {106, 202, 222}, {255, 0, 255}},
            {"below black clamps", {0, 128, 128}, {0, 0, 0}},
            {"above white clamps", {255, 128, 128}, {255, 255, 255}},
        };
        for (int format : {int(TNCOLOR_I420), int(TNCOLOR_NV12), int(TNCOLOR_YUY2)})
            for (const auto& c : colours)
                QTest::addRow("%s/%d", c.name, format) << format << c.yuv << c.bgr;
    }

    void referenceColours()
    {
        QFETCH(int, format);
        QFETCH(Yuv, yuv);
        QFETCH(Bgr, bgr);
        auto c = makeConverter();
        const auto src = frame(format, {yuv[0], yuv[0], yuv[0], yuv[0]}, yuv[1], yuv[2], 0);
        std::array<std::uint8_t, 12> out{};
        QVERIFY(c->Convert(format, src.data(), rowLengthFor(format, 0), out.data(), 6, 2, 2));
        for (int px = 0; px < 4; ++px)
            for (int ch = 0; ch < 3; ++ch)
                QVERIFY2(qAbs(out[px * 3 + ch] - bgr[ch]) <= 2,
                         qPrintable(QStringLiteral("pixel %1 channel %2: %3, expected %4")
                                        .arg(px)
                                        .arg(ch)
                                        .arg(out[px * 3 + ch])
                                        .arg(bgr[ch])));
    }

    // Row length with padding, pitch with padding: each pixel keeps its own luma, lands at its
    // own place, and the destination's padding bytes stay untouched.
    void layout_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("padding");
        for (int format : {int(TNCOLOR_I420), int(TNCOLOR_NV12), int(TNCOLOR_YUY2)})
            for (int padding : {0, 2, 6})
                QTest::addRow("format %d, source padding %d", format, padding) << format << padding;
    }

    void layout()
    {
        QFETCH(int, format);
        QFETCH(int, padding);
        auto c = makeConverter();
        const std::array<int, 4> lumas = {16, 81, 160, 235};
        const auto src = frame(format, lumas, 128, 128, padding);
        const int pitch = 8; // 6 bytes of pixels + 2 of padding
        std::vector<std::uint8_t> out(pitch * 2, 0x5A);
        QVERIFY(
            c->Convert(format, src.data(), rowLengthFor(format, padding), out.data(), pitch, 2, 2));
        for (int i = 0; i < 4; ++i) {
            const int expected = qBound(0, (298 * (lumas[i] - 16) + 128) >> 8, 255);
            const auto* px = out.data() + (i / 2) * pitch + (i % 2) * 3;
            QCOMPARE(int(px[0]), expected);
            QCOMPARE(int(px[1]), expected);
            QCOMPARE(int(px[2]), expected);
        }
        QCOMPARE(int(out[6]), 0x5A);
        QCOMPARE(int(out[7]), 0x5A);
        QCOMPARE(int(out[pitch + 6]), 0x5A);
    }

    // Odd sizes read the chroma of the pixel pair / block a pixel belongs to, within the frame.
    void oddSize()
    {
        auto c = makeConverter();
        const int width = 3, height = 3;
        const int rowLength = c->RowLength(TNCOLOR_I420, width);
        QCOMPARE(rowLength, 6);
        const auto size = c->FrameSize(TNCOLOR_I420, rowLength, height);
        QCOMPARE(size, qint64(4 * 3 + 2 * 2 * 2));
        std::vector<std::uint8_t> src(size, 126);
        std::fill(src.begin() + 12, src.end(), 128);
        std::vector<std::uint8_t> out(9 * 3, 0);
        QVERIFY(c->Convert(TNCOLOR_I420, src.data(), rowLength, out.data(), 9, width, height));
        for (auto b : out)
            QCOMPARE(int(b), 128);
    }

    void rejectsBadArguments_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rowLength");
        QTest::addColumn<int>("pitch");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("nullSource");
        QTest::newRow("unknown format") << 9 << 3 << 6 << 2 << 2 << false;
        QTest::newRow("null source") << int(TNCOLOR_I420) << 3 << 6 << 2 << 2 << true;
        QTest::newRow("zero width") << int(TNCOLOR_I420) << 3 << 6 << 0 << 2 << false;
        QTest::newRow("negative height") << int(TNCOLOR_I420) << 3 << 6 << 2 << -2 << false;
        QTest::newRow("pitch below width") << int(TNCOLOR_I420) << 3 << 5 << 2 << 2 << false;
        QTest::newRow("row length short") << int(TNCOLOR_YUY2) << 3 << 6 << 2 << 2 << false;
        QTest::newRow("row length not 3/2 of a stride")
            << int(TNCOLOR_NV12) << 7 << 18 << 2 << 2 << false;
        QTest::newRow("huge width") << int(TNCOLOR_YUY2) << 1 << 1 << 1 << 1 << false;
    }

    void rejectsBadArguments()
    {
        QFETCH(int, format);
        QFETCH(int, rowLength);
        QFETCH(int, pitch);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, nullSource);
        if (QByteArray(QTest::currentDataTag()) == "huge width") {
            width = 1 << 20;
            rowLength = width * 2;
            pitch = width * 3;
        }
        auto c = makeConverter();
        std::vector<std::uint8_t> src(64, 128), out(64, 0x5A);
        QVERIFY(!c->Convert(format, nullSource ? nullptr : src.data(), rowLength, out.data(), pitch,
                            width, height));
        QVERIFY(std::all_of(out.begin(), out.end(), [](auto b) { return b == 0x5A; }));
    }
};

QTEST_APPLESS_MAIN(TestTNColor)
#include "tst_tncolor.moc"
