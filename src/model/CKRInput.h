#pragma once

#include "model/CameraAssignment.h"

#include <QString>

// An input of a controller, index 0 to 47.
class CKRInput
{
public:
    explicit CKRInput(qint32 index);
    // inputText: the string table's input text, looked up once by a caller creating many.
    CKRInput(qint32 index, const QString& inputText);

    CameraAssignment Camera(int directionIndex) const
    {
        return cameraAssignmentOf(*this, directionIndex);
    }

    qint32 inputIndex;
    QString name; // "<input text> <index + 1, two digits>" until the host names the input
    qint32 video1Source = -1;
    qint32 video2Source = -1;
    qint32 video1Camera = -1;
    qint32 video2Camera = -1;
    qint32 video1SnapshotDelay = 0;
    qint32 video2SnapshotDelay = 0;
    qint32 active = 0;
    qint32 enabled = 0;
};
