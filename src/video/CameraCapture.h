#pragma once

#include "krvideo/KRVideo.h"

#include <QString>

// Writing a captured camera picture as an event's snapshot file. Everything here runs on the
// video library's threads and touches only the request, the frame and the file system.
class CameraCapture
{
public:
    // What travels through the library with one capture: the picture's full path.
    struct Request
    {
        QString fullPath;
    };

    // Longest full path accepted, in bytes of its file-system encoding (PATH_MAX less the NUL).
    static constexpr int kMaxPathBytes = 4095;
    // Frames beyond these bounds are damaged, not pictures.
    static constexpr int kMaxSide = 16384;
    static constexpr qint64 kMaxEncodedBytes = 64 * 1024 * 1024;

    // folder + relative name, or empty when the name is empty, absolute, leaves the folder
    // ("..") or gives a path that is too long.
    static QString FullPath(const QString& folder, const QString& relativeName);

    // The capture callback given to KRVideoGetImage: takes the request back, writes the file
    // when a frame came, and reports the completion (KRVideoMessages::captureFinished) when it
    // did. No frame: the capture failed, nothing is written or reported.
    static void Callback(KRVideoHandle handle, std::int32_t camera, const KRVideoFrame* frame,
                         const std::uint8_t* data, void* context);

    // An encoded picture (format 1) is decoded and stored as JPEG whatever the extension; a raw
    // frame is converted to 24-bit pixels and stored in the format the extension names. The
    // file appears complete or not at all (written under a temporary name, then renamed).
    static bool WriteFrame(const KRVideoFrame& frame, const std::uint8_t* data,
                           const QString& path);
};
