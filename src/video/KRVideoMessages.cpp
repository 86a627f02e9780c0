#include "video/KRVideoMessages.h"

KRVideoMessages& KRVideoMessages::instance()
{
    // Deliberately never destroyed (see the class comment).
    static KRVideoMessages* messages = new KRVideoMessages;
    return *messages;
}

void KRVideoMessages::TalkCallback(KRVideoHandle, std::int32_t, std::int32_t status)
{
    Q_EMIT instance().audioAppToCamera(status);
}

void KRVideoMessages::OnCameraOpen(KRVideoHandle, std::int32_t) {}

void KRVideoMessages::OnCameraClose(KRVideoHandle handle)
{
    Q_EMIT cameraClosed(handle);
}

void KRVideoMessages::OnCameraRetry(KRVideoHandle, std::int32_t, std::int32_t) {}

void KRVideoMessages::OnAudioBusy(KRVideoHandle, std::int32_t)
{
    Q_EMIT cameraBusy();
}

void KRVideoMessages::OnAudioCodec(const KRVideoCodecInfo* info)
{
    if (info)
        Q_EMIT audioCodecType(info->handle, info->listenCodec, info->talkCodec);
}

void KRVideoMessages::OnAudioOutput(KRVideoHandle handle, std::int32_t, std::int32_t status)
{
    Q_EMIT audioOutput(handle, status);
}

void KRVideoMessages::PostCaptureFinished(const QString& path, bool written)
{
    Q_EMIT captureFinished(path, written);
}
