#pragma once

#include "video/VideoLibrary.h"

// The video library itself (krvideo).
class KRVideoLibrary final : public VideoLibrary
{
public:
    void KRVideoCreate(CKRVideoCameraCallback* callback) override;
    void KRVideoDestroy() override;
    KRVideoHandle KRVideoConnect(const QString& address, int port, const QString& user,
                                 const QString& password, int type, int brand, int camera) override;
    void KRVideoDisconnect(KRVideoHandle handle) override;
    int KRVideoGetImage(KRVideoHandle handle, int camera, KRVideoCaptureCallback callback,
                        void* context, const std::uint8_t* cardBlock, KRVideoDateTime localTime,
                        int delayMs) override;
    void KRAudioCameraToApp(KRVideoHandle handle, int camera, bool on) override;
    void KRAudioAppToCamera(KRVideoHandle handle, bool on, KRVideoTalkCallback callback) override;
    QWidget* LiveVideo_Create(QWidget* parent) override;
    void LiveVideo_Destroy(QWidget* window) override;
    void LiveVideo_SetCamera(QWidget* window, KRVideoHandle handle, int camera, int hostId,
                             int value1, int value2) override;
};
