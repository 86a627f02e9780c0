#pragma once

#include <memory>

// The IP-camera profile list: which camera brands are served one live connection per camera.
// The process-wide list is installed by the video component; until then no brand is listed.
// Installed and read on the user-interface thread only.
class CameraProfiles
{
public:
    virtual ~CameraProfiles();
    // True when the list holds a code equal to brand + 2.
    virtual bool IsProfileBrand(int brand) const = 0;

    static const CameraProfiles& current();
    // Replaces the process-wide list; a null pointer restores the empty list.
    static void install(std::shared_ptr<const CameraProfiles> profiles);
};
