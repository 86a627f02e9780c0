#pragma once

#include "FakeVideoLibrary.h"
#include "model/CKRHost.h"
#include "video/CLiveVideo.h"
#include "video/LiveVideoSite.h"

#include <QStringList>

#include <map>
#include <memory>

// The host table and the host commands as the live video sees them; commands are recorded.
class FakeSite final : public LiveVideoSite
{
public:
    std::map<int, std::unique_ptr<CKRHost>> hosts;
    QStringList commands; // "door <host>/<controller>/<door> op <n> value <v>", "log ..."

    CKRHost* FindHostById(int hostId) const override
    {
        const auto it = hosts.find(hostId);
        return it == hosts.end() ? nullptr : it->second.get();
    }
    bool SendDoorOperation(int hostId, int controllerId, int doorId, int operation,
                           int value) override
    {
        commands << QStringLiteral("door %1/%2/%3 op %4 value %5")
                        .arg(hostId)
                        .arg(controllerId)
                        .arg(doorId)
                        .arg(operation)
                        .arg(value);
        return true;
    }
    bool SendUserActionLog(int hostId, const QString& messageData,
                           const QString& operatorName) override
    {
        commands << QStringLiteral("log %1 '%2' by %3").arg(hostId).arg(messageData, operatorName);
        return true;
    }

    CKRHost& AddHost(int hostId, quint32 privileges = CKRHost::kLiveVideoPrivilege)
    {
        auto host = std::make_unique<CKRHost>(hostId);
        host->privilegeMask = privileges;
        host->userName = QStringLiteral("operator");
        host->connected = 1;
        return *(hosts[hostId] = std::move(host));
    }
};

// A video source with `cameras` named cameras ("Cam 0", ...) at address "dvr<id>".
inline CDvr& AddDvr(CKRHost& host, int dvrId, int type, int cameras, int brand = 0)
{
    auto dvr = std::make_unique<CDvr>(dvrId);
    dvr->name = QStringLiteral("DVR %1").arg(dvrId);
    dvr->type = type;
    dvr->brand = brand;
    dvr->address = QStringLiteral("dvr%1").arg(dvrId);
    dvr->port = 554;
    dvr->userName = QStringLiteral("admin");
    for (int i = 0; i < cameras; ++i)
        dvr->cameraNames[i] = QStringLiteral("Cam %1").arg(i);
    return *(host.siteConfig.videoSources[dvrId] = std::move(dvr));
}

inline CameraSelection Selection(int hostId, int controllerId, int doorId, int direction, int dvrId,
                                 int camera)
{
    return CameraSelection{hostId, 0, controllerId, doorId, -1, direction, dvrId, camera};
}

// The live video over the fake library and the fake site.
struct LiveVideoFixture
{
    FakeSite site;
    FakeVideoLibrary* library = nullptr; // owned by live
    std::unique_ptr<CLiveVideo> live;

    LiveVideoFixture()
    {
        auto fake = std::make_unique<FakeVideoLibrary>();
        library = fake.get();
        live = std::make_unique<CLiveVideo>(std::move(fake), site);
        library->take();
    }
};
