#pragma once

#include <QSet>
#include <QString>

class CConnectionManager;
class CKRHost;
class CController;
class FieldReader;

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

    // The host a message came from and the controller its C_ID names; both null when the host is
    // not connected, or the controller or its device group does not exist.
    struct ControllerTarget
    {
        CKRHost* host = nullptr;
        CController* controller = nullptr;
    };
    ControllerTarget FindControllerTarget(long connectionId, const FieldReader& fields);

    CConnectionManager& m_manager;
};
