#pragma once

#include <QIcon>
#include <QString>

// The tree's 16 x 16 pictures, by image index. Every item uses the same picture selected or not.
namespace TreeImages {

enum Index
{
    HostConnected = 0,
    HostDisconnected = 1,
    DeviceGroup = 2,
    ControllersCategory = 3,
    ControllerOnline = 4,
    ControllerOffline = 5,
    DoorClosed = 6,
    DoorOpen = 7,
    InputInactive = 8,
    InputActive = 9,
    ElevatorDoor = 10,    // door of a controller of type 4
    PanelController = 11, // controller of type 240
    PanelDoor = 12,       // door of a controller of type 240
    LprCategory = 13,
    FirstReserved = 14, // 14 to 17 keep their places in the list; the tree shows none
    CamerasCategory = 18,
    Dvr = 19, // 19 + source type for types 1 to 7, 19 for any other type
    Camera = 27,
    Count = 28,
};

// Image index of a video source of the given type.
constexpr int DvrImage(int type)
{
    return type >= 1 && type <= 7 ? Dvr + type : Dvr;
}

// File of the picture below the resources' "icons/tree" folder; empty for an unknown index.
QString FileName(int index);
// The picture, loaded once per process; a null icon for an unknown index or an unreadable file.
QIcon Icon(int index);

} // namespace TreeImages
