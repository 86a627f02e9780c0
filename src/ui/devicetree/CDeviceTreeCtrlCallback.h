#pragma once

#include <QPoint>
#include <QString>

// What the device tree asks of its owner (the main dialog). Every id is -1 when it names nothing.
class CDeviceTreeCtrlCallback
{
public:
    virtual ~CDeviceTreeCtrlCallback() = default;

    // A right click: the clicked node's kind, level and id, or (0, -1, -1) on empty space;
    // screenPos is the cursor in screen coordinates.
    virtual void OnNodeRightClick(int kind, int level, int id, const QPoint& screenPos) = 0;
    // The selection moved (or the tree regained the focus): the selected node's device path.
    virtual void OnNodeSelected(int hostId, int groupId, int controllerId, int doorId, int inputId,
                                int direction, int dvrId, int camera) = 0;
    // True when the host has that video source and the source has that camera number.
    virtual bool IsCameraValid(int hostId, int groupId, int dvrId, int camera) = 0;
    // "<source name>, <camera name>", or empty when the host or the source is unknown.
    virtual QString GetCameraLabel(int hostId, int groupId, int dvrId, int camera) = 0;
};
