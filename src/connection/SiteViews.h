#pragma once

class CKRHost;
class CDeviceGroup;
class CController;
class CDoor;
class CKRInput;
class CDvr;

// The views the connection core reports to. Every operation has an empty default body, so a
// view (or a test recorder) overrides only what it shows.

// A place and its camera as eight values; -1 means none.
struct CameraSelection
{
    int hostId = -1;
    int groupId = -1;
    int controllerId = -1;
    int doorId = -1;
    int inputId = -1;
    int direction = -1;
    int dvrId = -1;
    int camera = -1;
};

class DeviceTreeSink
{
public:
    virtual ~DeviceTreeSink() = default;

    virtual void UpdateHostNode(const CKRHost&) {}
    virtual void RemoveHostNode(const CKRHost&, bool /*childrenOnly*/) {}
    virtual void SortHostNodes() {} // re-sort the top level
    virtual void RenameGroupNodes(const CKRHost&, const CDeviceGroup&) {}
    virtual void UpdateControllerNode(const CKRHost&, const CController&) {}
    virtual void RemoveControllerNode(const CKRHost&, const CController&) {}
    virtual void UpdateDoorNode(const CKRHost&, const CController&, const CDoor&) {}
    virtual void RemoveDoorNode(const CKRHost&, const CController&, const CDoor&) {}
    virtual void UpdateInputNode(const CKRHost&, const CController&, const CKRInput&) {}
    virtual void RemoveInputNode(const CKRHost&, const CController&, const CKRInput&) {}
    virtual void AddDvrNode(const CKRHost&, const CDvr&) {}
    virtual void UpdateDvrNode(const CKRHost&, const CDvr&) {}
    virtual void RemoveDvrNode(const CKRHost&, int /*groupId*/, int /*dvrId*/) {}
};

class LiveViewSink
{
public:
    virtual ~LiveViewSink() = default;

    virtual void ConnectDvr(const CKRHost&, const CDvr&) {}
    virtual void DisconnectDvr(const CKRHost&, const CDvr&) {}
    virtual void DisconnectHost(const CKRHost&) {}
    virtual CameraSelection cameraSelection() const { return {}; }
    virtual void SetCamera(int /*hostId*/, int /*dvrId*/, int /*camera*/, int /*value1*/,
                           int /*value2*/)
    {
    }
};

class EventListSink
{
public:
    virtual ~EventListSink() = default;

    virtual void RemoveHostEvents(int /*hostId*/) {}
};
