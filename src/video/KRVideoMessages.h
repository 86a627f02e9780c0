#pragma once

#include "krvideo/KRVideo.h"

#include <QObject>

// The video library's reports, turned into signals. The library calls the camera callback, the
// talk callback and the capture callback on its own threads; the signals are emitted there and
// reach their receivers on the user-interface thread through queued connections. A receiver
// that is not connected (its "window" not set) gets nothing.
//
// One object for the process: the talk and capture callbacks are plain functions, and a stream
// the library had to abandon at shutdown may still report later, so it is never destroyed.
class KRVideoMessages final : public QObject, public CKRVideoCameraCallback
{
    Q_OBJECT

public:
    static KRVideoMessages& instance();

    // The talk callback handed to KRAudioAppToCamera.
    static void TalkCallback(KRVideoHandle handle, std::int32_t camera, std::int32_t status);

    void OnCameraOpen(KRVideoHandle handle, std::int32_t camera) override;
    void OnCameraClose(KRVideoHandle handle) override;
    void OnCameraRetry(KRVideoHandle handle, std::int32_t camera, std::int32_t retryMs) override;
    void OnAudioBusy(KRVideoHandle handle, std::int32_t camera) override;
    // The record is valid only during the call: its values travel in the signal.
    void OnAudioCodec(const KRVideoCodecInfo* info) override;
    void OnAudioOutput(KRVideoHandle handle, std::int32_t camera, std::int32_t status) override;

    // path: the picture's file; written: whether it was written.
    void PostCaptureFinished(const QString& path, bool written);

Q_SIGNALS:
    void cameraClosed(int handle);                                   // "KRNOTIFY_WM_KRVCAMERACLOSE"
    void cameraBusy();                                               // "KRNOTIFY_WM_KRVBUSY"
    void audioCodecType(int handle, int listenCodec, int talkCodec); // "..._KRVAUDIOCODECTYPE"
    void audioAppToCamera(int status);        // "KRNOTIFY_KRV_AUDIO_APP_TO_CAMERA"
    void audioOutput(int handle, int status); // where listening plays (KRVideoAudioOutput)
    void captureFinished(const QString& path, bool written); // "KRNOTIFY_WM_KRVCAPTURE"

private:
    KRVideoMessages() = default;
};
