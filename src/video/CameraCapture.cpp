#include "video/CameraCapture.h"

#include "krvideo/color/TNColor.h"
#include "video/KRVideoMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QSaveFile>

#include <memory>

Q_LOGGING_CATEGORY(lcCapture, "krnotify.video.capture")

namespace {
constexpr int kEncodedPicture = 1;

// The writer whose format list holds the extension ("jpg" gives JPEG); empty when none does.
QByteArray FormatForPath(const QString& path)
{
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    if (suffix.isEmpty())
        return {};
    return QImageWriter::supportedImageFormats().contains(suffix) ? suffix : QByteArray();
}

QImage DecodePicture(const KRVideoFrame& frame, const std::uint8_t* data)
{
    if (frame.dataSize <= 0 || frame.dataSize > CameraCapture::kMaxEncodedBytes)
        return {};
    return QImage::fromData(data, frame.dataSize);
}

QImage ConvertRawFrame(const KRVideoFrame& frame, const std::uint8_t* data)
{
    if (frame.width <= 0 || frame.height <= 0 || frame.width > CameraCapture::kMaxSide ||
        frame.height > CameraCapture::kMaxSide || frame.dataSize <= 0)
        return {};
    QImage image(frame.width, frame.height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const auto release = [](ITNColor* c) { TNColor_Release(c, TNCOLOR_VERSION); };
    std::unique_ptr<ITNColor, decltype(release)> converter(TNColor_Create(TNCOLOR_VERSION),
                                                           release);
    if (!converter)
        return {};
    // The library names the source layout; I420 when it does not.
    const int format = frame.converterFormat > 0 ? frame.converterFormat : TNCOLOR_I420;
    const int rowLength = frame.dataSize / frame.height;
    // The converter reads whole planes: an odd height has one chroma row more than the row
    // length times the height holds, so a frame cut there would be read past its end.
    if (converter->FrameSize(format, rowLength, frame.height) > frame.dataSize)
        return {};
    const bool converted = converter->Convert(format, data, rowLength, image.bits(),
                                              int(image.bytesPerLine()), frame.width, frame.height);
    return converted ? image : QImage();
}

bool SaveAtomically(const QImage& image, const QString& path, const QByteArray& format)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!image.save(&file, format.constData())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
} // namespace

QString CameraCapture::FullPath(const QString& folder, const QString& relativeName)
{
    if (folder.isEmpty() || relativeName.isEmpty() || QDir::isAbsolutePath(relativeName))
        return {};
    const QString root = QDir::cleanPath(folder);
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + relativeName);
    if (!path.startsWith(root + QLatin1Char('/')) || QFile::encodeName(path).size() > kMaxPathBytes)
        return {};
    return path;
}

void CameraCapture::Callback(KRVideoHandle, std::int32_t, const KRVideoFrame* frame,
                             const std::uint8_t* data, void* context)
{
    std::unique_ptr<Request> request(static_cast<Request*>(context));
    if (!request || !frame || !data)
        return;
    const bool written = WriteFrame(*frame, data, request->fullPath);
    if (!written)
        qCInfo(lcCapture) << "no picture written to" << request->fullPath;
    KRVideoMessages::instance().PostCaptureFinished(request->fullPath, written);
}

bool CameraCapture::WriteFrame(const KRVideoFrame& frame, const std::uint8_t* data,
                               const QString& path)
{
    if (!data || path.isEmpty())
        return false;
    if (frame.format == kEncodedPicture) {
        const QImage picture = DecodePicture(frame, data);
        return !picture.isNull() && SaveAtomically(picture, path, "JPEG");
    }
    const QByteArray format = FormatForPath(path);
    if (format.isEmpty())
        return false;
    const QImage picture = ConvertRawFrame(frame, data);
    return !picture.isNull() && SaveAtomically(picture, path, format);
}
