#pragma once

#include "model/CameraProfiles.h"

#include <QString>

// The IP-camera profile file "TavIPCamXList.ini": section "USE_PROFILE", "NUM" codes under
// "PD0" ... "PD<NUM-1>". A brand is listed when a code equals brand + 2. The file is read on
// every question (the profile reader caches it by modification time), so an edited file
// counts from the next connection on.
class CIPCamProfileList final : public CameraProfiles
{
public:
    static constexpr const char* kFileName = "TavIPCamXList.ini";
    // Codes past this index are ignored: a damaged "NUM" must not cost a long scan.
    static constexpr int kMaxCodes = 1024;

    explicit CIPCamProfileList(QString path);

    bool IsProfileBrand(int brand) const override;
    const QString& path() const { return m_path; }

    // The file beside the program (or in the installed share folder).
    static QString DefaultPath();
    // Installs the list read from DefaultPath() as the process-wide camera profiles.
    static void InstallDefault();

private:
    QString m_path;
};
