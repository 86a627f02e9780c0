#pragma once

#include <QtGlobal>

// One of the two camera assignments of a door or an input, chosen by a direction index.
struct CameraAssignment
{
    qint32 dvrId = -1;
    qint32 cameraNumber = -1;
    qint32 snapshotDelay = 0;
};

// Direction 0 gives the first camera, 1 the second; any other index names no camera.
template <class Place> CameraAssignment cameraAssignmentOf(const Place& place, int directionIndex)
{
    if (directionIndex == 0)
        return {place.video1Source, place.video1Camera, place.video1SnapshotDelay};
    if (directionIndex == 1)
        return {place.video2Source, place.video2Camera, place.video2SnapshotDelay};
    return {};
}
