#pragma once

#include "connection/SiteViews.h"
#include "model/CKRHost.h"

#include <QRegularExpression>
#include <QStringList>

// Records every call of the views the connection core reports to, one line per call.
class ViewRecorder : public DeviceTreeSink, public LiveViewSink, public EventListSink
{
public:
    QStringList log;
    CameraSelection selection;

    void UpdateHostNode(const CKRHost& h) override { add("UpdateHostNode", {h.hostId}); }
    void RemoveHostNode(const CKRHost& h, bool childrenOnly) override
    {
        add(childrenOnly ? "RemoveHostChildren" : "RemoveHostNode", {h.hostId});
    }
    void SortHostNodes() override { add("SortHostNodes", {}); }
    void RenameGroupNodes(const CKRHost& h, const CDeviceGroup& g) override
    {
        add("RenameGroupNodes", {h.hostId, g.groupId});
    }
    void UpdateControllerNode(const CKRHost& h, const CController& c) override
    {
        add("UpdateControllerNode", {h.hostId, c.controllerId});
    }
    void RemoveControllerNode(const CKRHost& h, const CController& c) override
    {
        add("RemoveControllerNode", {h.hostId, c.controllerId});
    }
    void UpdateDoorNode(const CKRHost& h, const CController& c, const CDoor& d) override
    {
        add("UpdateDoorNode", {h.hostId, c.controllerId, d.doorId});
    }
    void RemoveDoorNode(const CKRHost& h, const CController& c, const CDoor& d) override
    {
        add("RemoveDoorNode", {h.hostId, c.controllerId, d.doorId});
    }
    void UpdateInputNode(const CKRHost& h, const CController& c, const CKRInput& i) override
    {
        add("UpdateInputNode", {h.hostId, c.controllerId, i.inputIndex});
    }
    void RemoveInputNode(const CKRHost& h, const CController& c, const CKRInput& i) override
    {
        add("RemoveInputNode", {h.hostId, c.controllerId, i.inputIndex});
    }
    void AddDvrNode(const CKRHost& h, const CDvr& d) override
    {
        add("AddDvrNode", {h.hostId, d.dvrId});
    }
    void UpdateDvrNode(const CKRHost& h, const CDvr& d) override
    {
        add("UpdateDvrNode", {h.hostId, d.dvrId});
    }
    void RemoveDvrNode(const CKRHost& h, int groupId, int dvrId) override
    {
        add("RemoveDvrNode", {h.hostId, groupId, dvrId});
    }
    void ConnectDvr(const CKRHost& h, const CDvr& d) override
    {
        add("ConnectDvr", {h.hostId, d.dvrId});
    }
    void DisconnectDvr(const CKRHost& h, const CDvr& d) override
    {
        add("DisconnectDvr", {h.hostId, d.dvrId});
    }
    void DisconnectHost(const CKRHost& h) override { add("DisconnectHost", {h.hostId}); }
    CameraSelection cameraSelection() const override { return selection; }
    void SetCamera(int hostId, int dvrId, int camera, int value1, int value2) override
    {
        add("SetCamera", {hostId, dvrId, camera, value1, value2});
    }
    void RemoveHostEvents(int hostId) override { add("RemoveHostEvents", {hostId}); }

    // The lines that start with the given call name.
    QStringList calls(const QString& name) const
    {
        return log.filter(QRegularExpression("^" + name + "\\b"));
    }

private:
    void add(const char* name, std::initializer_list<int> values)
    {
        QString line = QString::fromLatin1(name);
        for (int v : values)
            line += QLatin1Char(' ') + QString::number(v);
        log << line;
    }
};
