#include "krvideo/color/TNColor.h"

#include <algorithm>
#include <memory>

namespace {

// Frames larger than this on either side are refused: it keeps every offset well inside 32 bits
// of rows times pitch and catches garbage sizes early.
constexpr int MaxSide = 16384;

std::uint8_t clampByte(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 limited range, 8-bit fixed point (coefficients scaled by 256).
void putBgr(std::uint8_t* out, int y, int u, int v)
{
    const int c = 298 * (y - 16) + 128;
    const int d = u - 128;
    const int e = v - 128;
    out[0] = clampByte((c + 516 * d) >> 8);
    out[1] = clampByte((c - 100 * d - 208 * e) >> 8);
    out[2] = clampByte((c + 409 * e) >> 8);
}

bool isPlanar420(int format)
{
    return format == TNCOLOR_I420 || format == TNCOLOR_NV12;
}

class TNColorConverter final : public ITNColor
{
public:
    std::uint32_t Version() const override { return TNCOLOR_VERSION; }

    bool IsFormatSupported(int format) const override
    {
        return isPlanar420(format) || format == TNCOLOR_YUY2;
    }

    int RowLength(int format, int width) const override
    {
        if (width <= 0 || width > MaxSide)
            return 0;
        if (isPlanar420(format))
            return (width + (width & 1)) * 3 / 2;
        return format == TNCOLOR_YUY2 ? (width + (width & 1)) * 2 : 0;
    }

    std::int64_t FrameSize(int format, int rowLength, int height) const override
    {
        if (rowLength <= 0 || height <= 0 || height > MaxSide * 2)
            return 0;
        if (format == TNCOLOR_YUY2)
            return std::int64_t(rowLength) * height;
        if (!isPlanar420(format) || rowLength % 3 != 0)
            return 0;
        const std::int64_t stride = rowLength * 2 / 3;
        const std::int64_t chromaRows = (height + 1) / 2;
        return stride * height + stride * chromaRows;
    }

    std::int64_t OutputSize(int pitch, int height) const override
    {
        return pitch > 0 && height > 0 ? std::int64_t(pitch) * height : 0;
    }

    bool Convert(int format, const std::uint8_t* src, int rowLength, std::uint8_t* dst, int pitch,
                 int width, int height) override
    {
        if (!src || !dst || width <= 0 || height <= 0 || width > MaxSide || height > MaxSide ||
            pitch < width * 3 || rowLength < RowLength(format, width) ||
            FrameSize(format, rowLength, height) == 0)
            return false;
        if (format == TNCOLOR_YUY2)
            convertYuy2(src, rowLength, dst, pitch, width, height);
        else
            convert420(format == TNCOLOR_NV12, src, rowLength * 2 / 3, dst, pitch, width, height);
        return true;
    }

private:
    static void convert420(bool interleaved, const std::uint8_t* src, int stride, std::uint8_t* dst,
                           int pitch, int width, int height)
    {
        const std::uint8_t* chroma = src + std::size_t(stride) * height;
        const int chromaStride = interleaved ? stride : stride / 2;
        const std::size_t planeSize = std::size_t(chromaStride) * ((height + 1) / 2);
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* y = src + std::size_t(row) * stride;
            const std::uint8_t* c = chroma + std::size_t(row / 2) * chromaStride;
            std::uint8_t* out = dst + std::size_t(row) * pitch;
            for (int x = 0; x < width; ++x, out += 3) {
                const int u = interleaved ? c[(x / 2) * 2] : c[x / 2];
                const int v = interleaved ? c[(x / 2) * 2 + 1] : c[planeSize + x / 2];
                putBgr(out, y[x], u, v);
            }
        }
    }

    static void convertYuy2(const std::uint8_t* src, int stride, std::uint8_t* dst, int pitch,
                            int width, int height)
    {
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* in = src + std::size_t(row) * stride;
            std::uint8_t* out = dst + std::size_t(row) * pitch;
            for (int x = 0; x < width; ++x, out += 3) {
                const std::uint8_t* pair = in + (x / 2) * 4;
                putBgr(out, pair[(x & 1) * 2], pair[1], pair[3]);
            }
        }
    }
};

} // namespace

ITNColor* TNColor_Create(std::uint32_t version)
{
    return version == TNCOLOR_VERSION ? std::make_unique<TNColorConverter>().release() : nullptr;
}

void TNColor_Release(ITNColor* converter, std::uint32_t version)
{
    if (version == TNCOLOR_VERSION)
        std::unique_ptr<TNColorConverter>(static_cast<TNColorConverter*>(converter));
}
