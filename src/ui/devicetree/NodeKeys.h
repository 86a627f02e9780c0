#pragma once

#include <QtGlobal>

// How tree nodes are keyed among their siblings and how a camera node records its camera.
namespace NodeKeys {

// A door key has 0xFFFF in its upper half and the door id in its lower half, so doors (negative
// keys) sort before inputs under a controller.
constexpr qint32 DoorKey(qint32 doorId)
{
    return qint32(0xFFFF0000u | (quint32(doorId) & 0xFFFFu));
}

// An input key has the input number in its upper half and 0xFFFF in its lower half.
constexpr qint32 InputKey(qint32 inputNumber)
{
    return qint32((quint32(inputNumber) << 16) | 0xFFFFu);
}

// The key a device path names: the door key when inputId is -1, the input key when doorId is -1.
constexpr qint32 PlaceKey(qint32 doorId, qint32 inputId)
{
    return qint32((quint32(inputId) << 16) | (quint32(doorId) & 0xFFFFu));
}

// A key read back as two signed halves: (door id, -1) for a door, (-1, input number) for an input.
constexpr qint32 KeyDoor(qint32 key)
{
    return qint16(quint32(key) & 0xFFFFu);
}
constexpr qint32 KeyInput(qint32 key)
{
    return qint16(quint32(key) >> 16);
}

// Camera value of a door or input camera node: bit 31 the direction index, bits 16 to 30 the
// video source id (15 bits), bits 0 to 15 the camera number.
constexpr quint32 CameraValue(qint32 dvrId, qint32 camera, qint32 direction)
{
    return ((quint32(dvrId) << 16) & 0x7FFFFFFFu) | (quint32(camera) & 0xFFFFu) |
           (quint32(direction) << 31);
}
constexpr qint32 CameraDirection(quint32 value)
{
    return qint32(value >> 31);
}
constexpr qint32 CameraDvrId(quint32 value)
{
    return qint32((value >> 16) & 0x7FFFu);
}
constexpr qint32 CameraNumber(quint32 value)
{
    return qint32(value & 0xFFFFu);
}

} // namespace NodeKeys
