#pragma once

#include <QSet>
#include <QString>

class CConnectionManager;
class CKRHost;
class CController;

// The site-configuration messages (host name, device groups, controllers, inputs, doors):
// each turns one message into the host's site configuration and tells the device tree.
class CConfigurationHandlers
{
public:
    explicit CConfigurationHandlers(CConnectionManager& manager);
    void RegisterCommands();

    // The door ids of a C_DOOR_ID_LIST text: every id is followed by a comma; text after the
    // last comma is ignored.
    static QSet<int> ParseDoorIdList(const QString& text);

private:
    void OnHostParam(long connectionId);
    void OnAllDeviceGroupsParam(long connectionId);
    void OnDeviceGroupParam(long connectionId);
    void OnDeviceGroupDelete(long connectionId);
    void OnCtrlParam(long connectionId);
    void OnCtrlDelete(long connectionId);
    void OnCtrlStatus(long connectionId);
    void OnCtrlIoNames(long connectionId);
    void OnCtrlInputParam(long connectionId);
    void OnCtrlInputStatus(long connectionId);
    void OnDoorParam(long connectionId);
    void OnDoorStatus(long connectionId);
    void OnDoorWorkMode(long connectionId);

    // The controller of C_ID, only when it and its device group exist.
    CController* ControllerInGroup(CKRHost& host, int controllerId);
    void CreateControllerCameraSource(CKRHost& host, const CController& controller, int dvrId,
                                      int camera);

    CConnectionManager& m_manager;
};
