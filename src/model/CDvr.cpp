#include "model/CDvr.h"

#include "model/CController.h"
#include "model/CameraProfiles.h"

CDvr::CDvr(qint32 id) : dvrId(id) {}

bool CDvr::IsPerCamera() const
{
    if (type == 5 || type == 6 || type == 7)
        return true;
    return type == 2 && CameraProfiles::current().IsProfileBrand(brand);
}

CDvr* CDvr::FindCameraSource(qint32 cameraNumber) const
{
    const auto it = cameraSources.find(cameraNumber);
    return it == cameraSources.end() ? nullptr : it->second.get();
}

qint32 CDvr::CameraSourceId(qint32 parentDvrId, qint32 cameraNumber)
{
    // Unsigned arithmetic wraps without undefined behaviour; the result is reinterpreted as
    // the signed id (two's complement, as every host computes it).
    const quint32 id = (quint32(parentDvrId) + 1000000u) * 1024u + quint32(cameraNumber);
    return qint32(id);
}

QString CDvr::CameraName(qint32 cameraNumber) const
{
    const auto it = cameraNames.find(cameraNumber);
    return it == cameraNames.end() ? QString() : it->second;
}

std::unique_ptr<CDvr> CDvr::CreateCameraSource(qint32 parentDvrId, qint32 cameraNumber,
                                               const CController& controller)
{
    auto source = std::make_unique<CDvr>(CameraSourceId(parentDvrId, cameraNumber));
    source->type = kCameraSourceType;
    source->brand = kCameraSourceBrand;
    source->userName = controller.loginId;
    source->password = controller.loginPassword;
    source->address = controller.address;
    source->commandPort = kCameraSourceCommandPort;
    source->port = kCameraSourcePort;
    source->viewLogPort = kCameraSourceViewLogPort;
    return source;
}
