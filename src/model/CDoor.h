#pragma once

#include "model/CPlace.h"
#include "model/CameraAssignment.h"

#include <QString>

class CDoor : public CPlace
{
public:
    // Bit of the status word that allows door operations.
    static constexpr qint32 kOperableStatusBit = 0x1000;

    CDoor(qint32 id, qint32 ownerControllerId);

    bool IsOpen() const override;
    bool IsWorkMode6Or9() const override;
    CameraAssignment Camera(int directionIndex) const
    {
        return cameraAssignmentOf(*this, directionIndex);
    }

    qint32 doorId;
    QString name; // "<door text> <door id + 1>" until the host names the door
    qint32 video1Source = -1;
    qint32 video2Source = -1;
    qint32 video1Camera = -1;
    qint32 video2Camera = -1;
    qint32 video1SnapshotDelay = 0;
    qint32 video2SnapshotDelay = 0;
    qint32 status = 0;
    qint32 workMode = 3;
    qint32 controllerId;
};
