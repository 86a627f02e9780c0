#pragma once

#include <QString>

#include <map>
#include <memory>

class CController;

// A video source: a recorder or camera server of the host, or a camera reached through a
// controller (a camera source, owned by the source whose camera it is).
class CDvr
{
public:
    // Values of a camera source reached through a controller.
    static constexpr qint32 kCameraSourceType = 2;
    static constexpr qint32 kCameraSourceBrand = 139;
    static constexpr qint32 kCameraSourceCommandPort = 10000;
    static constexpr qint32 kCameraSourcePort = 10000;
    static constexpr qint32 kCameraSourceViewLogPort = 5552;

    explicit CDvr(qint32 id);
    CDvr(const CDvr&) = delete;
    CDvr& operator=(const CDvr&) = delete;

    // True when the live view opens one connection per camera number for this source.
    bool IsPerCamera() const;
    CDvr* FindCameraSource(qint32 cameraNumber) const;
    int CameraCount() const { return int(cameraNames.size()); }
    // The camera's name, empty when the source has no such camera.
    QString CameraName(qint32 cameraNumber) const;

    // Id of the camera source for a camera of the given parent source:
    // (parent id + 1000000) * 1024 + camera number, wrapping in 32 bits.
    static qint32 CameraSourceId(qint32 parentDvrId, qint32 cameraNumber);
    // A camera source reached through the controller, for a camera of the given parent source.
    static std::unique_ptr<CDvr> CreateCameraSource(qint32 parentDvrId, qint32 cameraNumber,
                                                    const CController& controller);

    std::map<int, QString> cameraNames; // by camera number; its size is the camera count
    std::map<int, std::unique_ptr<CDvr>> cameraSources;
    qint32 dvrId;
    qint32 deviceGroupId = -1;
    QString name;
    qint32 type = 0;
    qint32 brand = 0;
    QString userName;
    QString password;
    QString address;
    qint32 commandPort = 0;
    qint32 port = 0;
    qint32 viewLogPort = 0;
    // Nonzero when audio from / towards the source cannot be used: the video library's codec type
    // that says why (6: the source has no such channel, 15: a codec it cannot handle).
    qint32 listenCodecUnsupported = 0;
    qint32 talkCodecUnsupported = 0;
};
