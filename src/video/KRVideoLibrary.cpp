#include "video/KRVideoLibrary.h"

void KRVideoLibrary::KRVideoCreate(CKRVideoCameraCallback* callback)
{
    ::KRVideoCreate(callback, 0);
}

void KRVideoLibrary::KRVideoDestroy()
{
    ::KRVideoDestroy();
}

KRVideoHandle KRVideoLibrary::KRVideoConnect(const QString& address, int port, const QString& user,
                                             const QString& password, int type, int brand,
                                             int camera)
{
    return ::KRVideoConnect(address, port, user, password, type, brand, camera, 1);
}

void KRVideoLibrary::KRVideoDisconnect(KRVideoHandle handle)
{
    ::KRVideoDisconnect(handle);
}

int KRVideoLibrary::KRVideoGetImage(KRVideoHandle handle, int camera,
                                    KRVideoCaptureCallback callback, void* context,
                                    const std::uint8_t* cardBlock, KRVideoDateTime localTime,
                                    int delayMs)
{
    return ::KRVideoGetImage(handle, camera, callback, context, cardBlock, localTime, delayMs);
}

void KRVideoLibrary::KRAudioCameraToApp(KRVideoHandle handle, int camera, bool on)
{
    ::KRAudioCameraToApp(handle, camera, on ? 1 : 0);
}

void KRVideoLibrary::KRAudioAppToCamera(KRVideoHandle handle, bool on, KRVideoTalkCallback callback)
{
    ::KRAudioAppToCamera(handle, on ? 1 : 0, callback, 0);
}

QWidget* KRVideoLibrary::LiveVideo_Create(QWidget* parent)
{
    return ::LiveVideo_Create(parent, 1);
}

void KRVideoLibrary::LiveVideo_Destroy(QWidget* window)
{
    ::LiveVideo_Destroy(window);
}

void KRVideoLibrary::LiveVideo_SetCamera(QWidget* window, KRVideoHandle handle, int camera,
                                         int hostId, int value1, int value2)
{
    ::LiveVideo_SetCamera(window, handle, camera, hostId, value1, value2, 0);
}
