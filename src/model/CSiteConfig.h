#pragma once

#include "model/CController.h"
#include "model/CDeviceGroup.h"
#include "model/CDvr.h"

#include <map>
#include <memory>

// Everything a host reports about its site. Each map owns its records and iterates in
// ascending id order. Every lookup yields nullptr when a level is missing.
class CSiteConfig
{
public:
    // Starts with the default group (id 0) only.
    CSiteConfig();
    ~CSiteConfig();
    CSiteConfig(const CSiteConfig&) = delete;
    CSiteConfig& operator=(const CSiteConfig&) = delete;

    // Deletes every group (the default group too), video source and controller.
    void Clear();

    CDeviceGroup* FindGroup(qint32 groupId) const;
    CDvr* FindDvr(qint32 dvrId) const;
    // The video source of lowest id whose name matches, ignoring case.
    CDvr* FindDvrByName(const QString& name) const;
    CController* FindController(qint32 controllerId) const;
    CDoor* FindDoor(qint32 controllerId, qint32 doorId) const;
    CKRInput* FindInput(qint32 controllerId, qint32 inputIndex) const;
    CDvr* FindCameraSource(qint32 dvrId, qint32 cameraNumber) const;

    std::map<int, std::unique_ptr<CDeviceGroup>> deviceGroups;
    std::map<int, std::unique_ptr<CDvr>> videoSources;
    std::map<int, std::unique_ptr<CController>> controllers;
};
