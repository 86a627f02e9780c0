#pragma once

#include "alerts/COptions.h"
#include "connection/HostListFile.h"

#include <QString>

// Two versions of the host list and of the options, saved alternately by the saver and
// compared byte for byte by the test. They differ in size, so a torn file matches neither.
namespace SavedVersions {

inline std::vector<HostListEntry> Hosts(int version)
{
    if (version == 0)
        return {{1, "Lobby", "operator", "secret", "10.0.0.1", 9987},
                {2, "Gate", "guard", "pw", "10.0.0.2", 9987},
                {3, "Car park", "", "", "carpark.example", 4100}};
    return {{1, "Head office with a much longer name", "admin", "another secret", "10.0.0.1", 9987},
            {4, "Warehouse", "night", "shift", "warehouse.example", 9988}};
}

inline bool SaveOptions(const QString& iniPath, int version)
{
    COptions options(QString(), iniPath);
    options.autoPopup = version;
    options.invokeAlarm = 1 - version;
    options.waveSelect = version == 0 ? COptions::Ring : COptions::UserFile;
    options.waveFile = version == 0 ? QString() : QStringLiteral("/usr/share/sounds/door bell.wav");
    return options.Save(version == 0 ? QStringLiteral("30") : QStringLiteral("120"));
}

inline bool Save(const QString& hostListPath, const QString& iniPath, int version)
{
    return HostListFile::Save(hostListPath, Hosts(version)) && SaveOptions(iniPath, version);
}

} // namespace SavedVersions
