#pragma once

#include "video/VideoLibrary.h"

#include <QSet>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

// A video library that records every call as a line of text and hands out handles 1, 2, ...
// Connections to an address in `refused` fail (handle 0). Captures are kept until the test
// completes them with a frame (or none), as the library's thread would.
class FakeVideoLibrary final : public VideoLibrary
{
public:
    struct Capture
    {
        KRVideoHandle handle;
        int camera;
        KRVideoCaptureCallback callback;
        void* context;
        std::array<std::uint8_t, 9> card;
        KRVideoDateTime time;
        int delayMs;
    };

    QStringList calls;
    QSet<QString> refused;    // addresses whose connection fails
    int getImageResult = 1;   // 0: captures are refused
    bool createWindow = true; // false: LiveVideo_Create refuses
    CKRVideoCameraCallback* cameraCallback = nullptr;
    KRVideoTalkCallback talkCallback = nullptr;
    std::vector<Capture> captures;
    std::map<KRVideoHandle, QString> connections; // open handles -> "address camera"
    QWidget* window = nullptr;

    // The calls recorded since the last take, which are forgotten.
    QStringList take() { return std::exchange(calls, {}); }

    void KRVideoCreate(CKRVideoCameraCallback* callback) override
    {
        cameraCallback = callback;
        calls << QStringLiteral("Create");
    }
    void KRVideoDestroy() override { calls << QStringLiteral("Destroy"); }
    KRVideoHandle KRVideoConnect(const QString& address, int port, const QString& user,
                                 const QString&, int type, int brand, int camera) override
    {
        const KRVideoHandle handle = refused.contains(address) ? 0 : m_nextHandle++;
        calls << QStringLiteral("Connect %1:%2 %3 type %4 brand %5 camera %6 -> %7")
                     .arg(address)
                     .arg(port)
                     .arg(user)
                     .arg(type)
                     .arg(brand)
                     .arg(camera)
                     .arg(handle);
        if (handle != 0)
            connections[handle] = QStringLiteral("%1 %2").arg(address).arg(camera);
        return handle;
    }
    void KRVideoDisconnect(KRVideoHandle handle) override
    {
        calls << QStringLiteral("Disconnect %1").arg(handle);
        connections.erase(handle);
    }
    int KRVideoGetImage(KRVideoHandle handle, int camera, KRVideoCaptureCallback callback,
                        void* context, const std::uint8_t* cardBlock, KRVideoDateTime localTime,
                        int delayMs) override
    {
        calls << QStringLiteral("GetImage %1 camera %2 delay %3")
                     .arg(handle)
                     .arg(camera)
                     .arg(delayMs);
        if (getImageResult == 0)
            return 0;
        Capture capture{handle, camera, callback, context, {}, localTime, delayMs};
        if (cardBlock)
            std::copy(cardBlock, cardBlock + 9, capture.card.begin());
        captures.push_back(capture);
        return getImageResult;
    }
    void KRAudioCameraToApp(KRVideoHandle handle, int camera, bool on) override
    {
        calls << QStringLiteral("Listen %1 camera %2 %3")
                     .arg(handle)
                     .arg(camera)
                     .arg(on ? QStringLiteral("on") : QStringLiteral("off"));
    }
    void KRAudioAppToCamera(KRVideoHandle handle, bool on, KRVideoTalkCallback callback) override
    {
        talkCallback = callback;
        calls << QStringLiteral("Talk %1 %2%3")
                     .arg(handle)
                     .arg(on ? QStringLiteral("on") : QStringLiteral("off"))
                     .arg(callback ? QStringLiteral(" callback") : QString());
    }
    QWidget* LiveVideo_Create(QWidget* parent) override
    {
        calls << QStringLiteral("CreateWindow");
        if (!createWindow)
            return nullptr;
        window = new QWidget(parent);
        window->setObjectName(QStringLiteral("videoWindow"));
        return window;
    }
    void LiveVideo_Destroy(QWidget* w) override
    {
        calls << QStringLiteral("DestroyWindow");
        if (w == window)
            window = nullptr;
        delete w;
    }
    void LiveVideo_SetCamera(QWidget* w, KRVideoHandle handle, int camera, int hostId, int value1,
                             int value2) override
    {
        calls << QStringLiteral("Show%1 %2 camera %3 host %4 values %5 %6")
                     .arg(w == window ? QString() : QStringLiteral(" (unknown window)"))
                     .arg(handle)
                     .arg(camera)
                     .arg(hostId)
                     .arg(value1)
                     .arg(value2);
    }

    // Completes the oldest capture with this frame (null frame: no picture), on the caller's
    // thread; the request passes back to the capture callback.
    void CompleteCapture(const KRVideoFrame* frame, const std::uint8_t* data)
    {
        const Capture capture = captures.front();
        captures.erase(captures.begin());
        capture.callback(capture.handle, capture.camera, frame, data, capture.context);
    }

private:
    KRVideoHandle m_nextHandle = 1;
};
