#pragma once

#include "model/CEventLogData.h"
#include "model/OleDateTime.h"

#include <QString>

// Takes a live picture from a camera into the snapshot folder (the video side implements it).
// relativeName is the event's snapshot file name; the picture is stored under the snapshot
// folder. delaySeconds is the camera assignment's delay; the capture waits that long.
class SnapshotCapture
{
public:
    virtual ~SnapshotCapture() = default;

    virtual void CaptureSnapshot(const QString& relativeName, int hostId, int dvrId,
                                 int cameraNumber, int delaySeconds, const COleDateTime& localTime,
                                 const COleDateTime& utcTime,
                                 const CEventLogData::CardBlock& cardBlock, int controllerId,
                                 int doorId, int directionIndex) = 0;
};
