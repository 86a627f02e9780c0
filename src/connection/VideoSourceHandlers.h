#pragma once

class CConnectionManager;
class CKRHost;
class CDvr;

// DVR_PARAM and DVR_REMOVE: the host's video sources, and the live connections that must be
// reopened when a source changes in a way that matters for them.
class CVideoSourceHandlers
{
public:
    explicit CVideoSourceHandlers(CConnectionManager& manager);
    void RegisterCommands();

private:
    void OnDvrParam(long connectionId);
    void OnDvrRemove(long connectionId);
    void DropCameraSources(CKRHost& host, CDvr& dvr);

    CConnectionManager& m_manager;
};
