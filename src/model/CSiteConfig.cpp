#include "model/CSiteConfig.h"

#include "i18n/StringTable.h"

namespace {
template <class Map> auto findIn(const Map& map, int id) -> decltype(map.begin()->second.get())
{
    const auto it = map.find(id);
    return it == map.end() ? nullptr : it->second.get();
}
} // namespace

CSiteConfig::CSiteConfig()
{
    deviceGroups.emplace(
        0, std::make_unique<CDeviceGroup>(
               0, CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_DEFAULT"))));
}

CSiteConfig::~CSiteConfig() = default;

void CSiteConfig::Clear()
{
    deviceGroups.clear();
    videoSources.clear();
    controllers.clear();
}

CDeviceGroup* CSiteConfig::FindGroup(qint32 groupId) const
{
    return findIn(deviceGroups, groupId);
}

CDvr* CSiteConfig::FindDvr(qint32 dvrId) const
{
    return findIn(videoSources, dvrId);
}

CDvr* CSiteConfig::FindDvrByName(const QString& name) const
{
    for (const auto& entry : videoSources) {
        if (entry.second->name.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second.get();
    }
    return nullptr;
}

CController* CSiteConfig::FindController(qint32 controllerId) const
{
    return findIn(controllers, controllerId);
}

CDoor* CSiteConfig::FindDoor(qint32 controllerId, qint32 doorId) const
{
    const CController* controller = FindController(controllerId);
    return controller ? controller->FindDoor(doorId) : nullptr;
}

CKRInput* CSiteConfig::FindInput(qint32 controllerId, qint32 inputIndex) const
{
    const CController* controller = FindController(controllerId);
    return controller ? controller->FindInput(inputIndex) : nullptr;
}

CDvr* CSiteConfig::FindCameraSource(qint32 dvrId, qint32 cameraNumber) const
{
    const CDvr* source = FindDvr(dvrId);
    return source ? source->FindCameraSource(cameraNumber) : nullptr;
}
