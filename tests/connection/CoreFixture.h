#pragma once

#include "FakeClientControl.h"
#include "ViewRecorder.h"
#include "connection/ConnectionManager.h"
#include "model/CHostMap.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"

#include <QTemporaryDir>

// The real connection core with a fake control and recording views; the host list lives in a
// temporary folder.
struct CoreFixture
{
    FakeClientControl control;
    ManualTickSource ticks{1000};
    ViewRecorder views;
    QTemporaryDir dir;
    CConnectionManager manager{control, ticks};

    CoreFixture()
    {
        manager.setDeviceTree(&views);
        manager.setLiveView(&views);
        manager.setEventList(&views);
        manager.setHostListPath(dir.filePath(QStringLiteral("KRNotifyHosts")));
        manager.Create();
    }

    CKRHost& addHost(int hostId, const QString& address = QStringLiteral("10.0.0.1"))
    {
        auto host = std::make_unique<CKRHost>(hostId);
        host->address = address;
        CKRHost* raw = host.get();
        manager.AddHost(std::move(host));
        return *raw;
    }

    // A host whose connection is established (login request sent); records cleared.
    CKRHost& connectedHost(int hostId = 1)
    {
        CKRHost& host = addHost(hostId);
        manager.TryConnect(host);
        Q_EMIT control.OnConnected(host.connectionId);
        clearRecords();
        return host;
    }

    void clearRecords()
    {
        control.calls.clear();
        control.sent.clear();
        control.disconnected.clear();
        views.log.clear();
    }
};
