#pragma once

class CConnectionManager;
class CKRHost;
class CController;
class CDoor;
class CDvr;
class LiveViewSink;

// DVR_PARAM and DVR_REMOVE: the host's video sources, and the live connections that must be
// reopened when a source changes in a way that matters for them.
class CVideoSourceHandlers
{
public:
    explicit CVideoSourceHandlers(CConnectionManager& manager);
    void RegisterCommands();

    // A type-18 controller reaches its door's first camera itself: that camera becomes a
    // source of its own, kept under the recorder the door names, created once and connected.
    // Nothing happens for another controller type or while the recorder is unknown.
    static void AddControllerCameraSource(LiveViewSink& liveView, CKRHost& host,
                                          const CController& controller, const CDoor& door);

private:
    void OnDvrParam(long connectionId);
    void OnDvrRemove(long connectionId);
    void DropCameraSources(CKRHost& host, CDvr& dvr);
    void AttachPlaces(CKRHost& host, const CDvr& dvr);

    CConnectionManager& m_manager;
};
