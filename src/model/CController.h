#pragma once

#include "model/CDoor.h"
#include "model/CKRInput.h"
#include "model/CKROutput.h"

#include <QString>

#include <map>
#include <memory>

// An access controller with its doors, inputs and outputs; owns all of them.
class CController
{
public:
    static constexpr int kInputCount = 48;
    static constexpr int kOutputCount = 32;
    // Both bits of the status word must be set for the controller to count as online.
    static constexpr qint32 kOnlineStatusBits = 0x2 | 0x4;

    // Creates the controller with its inputs 0 to 47 and the default name.
    explicit CController(qint32 id);
    virtual ~CController();
    CController(const CController&) = delete;
    CController& operator=(const CController&) = delete;

    virtual bool IsOnline() const;

    CDoor* FindDoor(qint32 doorId) const;
    CKRInput* FindInput(qint32 inputIndex) const;

    std::map<int, std::unique_ptr<CDoor>> doors;
    std::map<int, std::unique_ptr<CKRInput>> inputs; // fixed set: created here, never changed
    std::map<int, CKROutput> outputs;
    qint32 status = 0;
    qint32 controllerId;
    qint32 deviceGroupId = -1;
    QString name;
    qint32 type = 1;
    QString address;
    QString loginId;
    QString loginPassword;
};
