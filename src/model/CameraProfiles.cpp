#include "model/CameraProfiles.h"

namespace {
class NoCameraProfiles final : public CameraProfiles
{
public:
    bool IsProfileBrand(int) const override { return false; }
};

std::shared_ptr<const CameraProfiles>& installedProfiles()
{
    static std::shared_ptr<const CameraProfiles> profiles = std::make_shared<NoCameraProfiles>();
    return profiles;
}
} // namespace

CameraProfiles::~CameraProfiles() = default;

const CameraProfiles& CameraProfiles::current()
{
    return *installedProfiles();
}

void CameraProfiles::install(std::shared_ptr<const CameraProfiles> profiles)
{
    installedProfiles() = profiles ? std::move(profiles) : std::make_shared<NoCameraProfiles>();
}
