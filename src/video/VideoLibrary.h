#pragma once

#include "krvideo/KRVideo.h"

class QWidget;

// The ten calls the program makes into the video library. The program's logic holds this
// interface so that tests can record the calls; KRVideoLibrary forwards to krvideo.
class VideoLibrary
{
public:
    virtual ~VideoLibrary() = default;

    virtual void KRVideoCreate(CKRVideoCameraCallback* callback) = 0;
    virtual void KRVideoDestroy() = 0;
    // 0: no connection.
    virtual KRVideoHandle KRVideoConnect(const QString& address, int port, const QString& user,
                                         const QString& password, int type, int brand,
                                         int camera) = 0;
    virtual void KRVideoDisconnect(KRVideoHandle handle) = 0;
    // Nonzero: the callback follows and owns the context; 0: the caller keeps it.
    virtual int KRVideoGetImage(KRVideoHandle handle, int camera, KRVideoCaptureCallback callback,
                                void* context, const std::uint8_t* cardBlock,
                                KRVideoDateTime localTime, int delayMs) = 0;
    virtual void KRAudioCameraToApp(KRVideoHandle handle, int camera, bool on) = 0;
    virtual void KRAudioAppToCamera(KRVideoHandle handle, bool on,
                                    KRVideoTalkCallback callback) = 0;
    // Null: the library refuses the window.
    virtual QWidget* LiveVideo_Create(QWidget* parent) = 0;
    virtual void LiveVideo_Destroy(QWidget* window) = 0;
    virtual void LiveVideo_SetCamera(QWidget* window, KRVideoHandle handle, int camera, int hostId,
                                     int value1, int value2) = 0;
};
