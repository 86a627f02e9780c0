#pragma once
// Colour converter: raw camera frames (I420, NV12, YUY2; BT.601 limited range) to 24-bit
// pixels in B, G, R byte order (the byte order of a 24-bit Windows bitmap and of
// QImage::Format_BGR888). Plain C++; the video library hands it raw frames.

#include <cstdint>

// The one interface version this library implements; Create and Release both check it.
constexpr std::uint32_t TNCOLOR_VERSION = 0x83001;

// Source formats accepted by Convert.
enum TNColorFormat : int
{
    TNCOLOR_I420 = 1, // planar Y, then U, then V at half width and half height
    TNCOLOR_NV12 = 2, // planar Y, then interleaved U/V at half height
    TNCOLOR_YUY2 = 3, // packed Y0 U Y1 V per pixel pair
};

// The converter object. The source row length is the frame's bytes per picture row, taken over
// all planes (data size / height for a tightly packed frame): 3/2 of the luma stride for the
// 4:2:0 formats, the row stride for YUY2. The luma stride of a 4:2:0 frame is therefore
// rowLength * 2 / 3 and must be even.
class ITNColor
{
public:
    // Operation 0: the interface version (TNCOLOR_VERSION).
    virtual std::uint32_t Version() const = 0;
    // Operation 1: true when Convert accepts the format.
    virtual bool IsFormatSupported(int format) const = 0;
    // Operation 2: the source row length of a tightly packed frame of this width (0: invalid).
    virtual int RowLength(int format, int width) const = 0;
    // Operation 3: bytes a source frame with this row length and height occupies (0: invalid).
    virtual std::int64_t FrameSize(int format, int rowLength, int height) const = 0;
    // Operation 4: bytes a destination picture with this pitch and height occupies.
    virtual std::int64_t OutputSize(int pitch, int height) const = 0;
    // Operation 5: converts one frame. The picture's top row is written at dst, each further
    // row `pitch` bytes further on; bytes past width * 3 in a row are left untouched. False
    // (nothing written) for an unknown format, null buffers, sizes out of range, a row length
    // too short for the width or a pitch below width * 3.
    virtual bool Convert(int format, const std::uint8_t* src, int rowLength, std::uint8_t* dst,
                         int pitch, int width, int height) = 0;

protected:
    ~ITNColor() = default; // released through TNColor_Release only
};

// Null when the version is not TNCOLOR_VERSION.
ITNColor* TNColor_Create(std::uint32_t version);
// Frees a converter from TNColor_Create; ignores null and a version mismatch.
void TNColor_Release(ITNColor* converter, std::uint32_t version);
