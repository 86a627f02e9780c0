#pragma once

#include <QString>

class CKRHost;

// What the live view needs from the rest of the program: the host table, and the two host
// commands of a call (door operations, user-action log).
class LiveVideoSite
{
public:
    // Door operations that start and end talking to a door's camera.
    static constexpr int kTalkStart = 1;
    static constexpr int kTalkEnd = 3;

    virtual ~LiveVideoSite() = default;

    virtual CKRHost* FindHostById(int hostId) const = 0;
    virtual bool SendDoorOperation(int hostId, int controllerId, int doorId, int operation,
                                   int value) = 0;
    virtual bool SendUserActionLog(int hostId, const QString& messageData,
                                   const QString& operatorName) = 0;
};
