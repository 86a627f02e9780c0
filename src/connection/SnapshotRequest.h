#pragma once

#include <QString>

// Everything one download needs, copied on the user-interface thread: the work item never
// touches a host record or an event row.
struct SnapshotRequest
{
    QString address;
    int port = 0;
    qint32 key = 0; // R_KEY of the host's login reply
    int hostId = -1;
    qint32 logId = 0;
    qint32 cameraNumber = 0; // direction index + 1
    double utcTime = 0.0;    // OLE Automation date
    QString filePath;
};
