#pragma once

#include <QString>

// The five events of the client control, each with the context number of the hosting object
// first. The main dialog's connection core implements it; tests implement it with recorders.
class CTnClientCallback
{
public:
    virtual ~CTnClientCallback();

    virtual void OnReceive(short context, const QString& command, long connectionId) = 0;
    virtual void OnReceive2(short context, const QString& command, long connectionId) = 0;
    virtual void OnConnected(short context, long connectionId) = 0;
    virtual void OnConnectFailed(short context, long connectionId) = 0;
    virtual void OnClose(short context, long connectionId) = 0;
};
