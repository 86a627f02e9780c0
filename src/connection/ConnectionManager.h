#pragma once

#include "connection/ConfigurationMeter.h"
#include "connection/SiteViews.h"
#include "connection/TnClientCallback.h"
#include "connection/TnClientDlg.h"
#include "model/CKRHost.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

class ClientControl;
class TickSource;
class CHostMap;
class CConfigurationHandlers;
class CVideoSourceHandlers;

// What the operator enters for one host (the data half of the host dialog).
struct HostSettings
{
    QString name;
    QString address;
    QString userName;
    QString password;
    int port = 9987;
};

// The connection core of the main dialog: the host map, the client control, the command map,
// the connection pass (timer 1), the keep-alive pass (timer 2), login and the host list. Views
// are reached through the sinks of SiteViews.h; without a sink the no-op default is used.
class CConnectionManager : public QObject, public CTnClientCallback
{
    Q_OBJECT

public:
    static constexpr int kConnectionPassInterval = 3000;
    static constexpr int kKeepAliveInterval = 10000;
    static constexpr quint32 kKeepAliveTimeout = 20000;

    CConnectionManager(ClientControl& control, const TickSource& ticks, QObject* parent = nullptr);
    ~CConnectionManager() override;

    // Initialises the control; false means the main dialog cannot be created.
    bool Create();

    void setDeviceTree(DeviceTreeSink* sink);
    void setLiveView(LiveViewSink* sink);
    void setEventList(EventListSink* sink);
    DeviceTreeSink& deviceTree();
    LiveViewSink& liveView();
    EventListSink& eventList();

    CHostMap& hosts();
    ClientControl& control();
    CKRHost* FindHostById(int hostId);
    // The first host in map order holding this connection id; none for ids <= 0.
    CKRHost* FindHostByConnection(long connectionId);
    // The host of this connection when it is connected (every handler's first step).
    CKRHost* FindConnectedHost(long connectionId);

    // The command map: received messages are dispatched by exact command name. Configuration
    // messages are those a host describes its site with after the login.
    using CommandHandler = std::function<void(const QString& command, long connectionId)>;
    enum class CommandKind
    {
        Other,
        Configuration
    };
    void RegisterCommand(const QString& command, CommandHandler handler,
                         CommandKind kind = CommandKind::Other);
    // "DOOR_STATUS from host 3": the message dispatched last (for the event-loop watch).
    QString LastHandledMessage() const;

    // Host list file; by default "KRNotifyHosts" in the writable data folder.
    void setHostListPath(const QString& path);
    QString hostListPath() const { return m_hostListPath; }
    void LoadHostList();
    bool SaveHostList();

    bool AddHost(std::unique_ptr<CKRHost> host);
    void RemoveHost(int hostId);
    void TryConnect(CKRHost& host);
    void ReconnectHost(CKRHost& host);
    void SendConnectionSummary();
    // Applies the host dialog's values to an existing host (edit) or to a new one (nullptr:
    // add), then saves the list. Returns the host, or nullptr when a new host cannot be added.
    CKRHost* ApplyHostSettings(CKRHost* existing, const HostSettings& settings);

    // LoadHostList, sort the tree, connection pass at once, keep-alive pass in 10 s.
    void Start();
    // Stops both timers, saves the list and releases every host. Call before the views go.
    void Stop();
    void RunConnectionPass(); // timer 1 body
    void RunKeepAlivePass();  // timer 2 body
    void setConnectionPassInterval(int ms);
    // The wall clock that stamps when a host was last connected (tests set their own).
    void setWallClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    // Asks the tree and the event list to repaint with new names and states.
    void Redraw();

    // CTnClientCallback
    void OnReceive(short context, const QString& command, long connectionId) override;
    void OnReceive2(short context, const QString& command, long connectionId) override;
    void OnConnected(short context, long connectionId) override;
    void OnConnectFailed(short context, long connectionId) override;
    void OnClose(short context, long connectionId) override;

Q_SIGNALS:
    void connectionSummary(int state); // 0 all connected, 1 some, 2 none or no host
    void redrawRequested();
    void hostLoggedIn(int hostId);
    // The operator added a host or changed its settings (ApplyHostSettings).
    void hostSaved(int hostId, bool added);
    // A host left the host list (it is gone from the map already).
    void hostRemoved(int hostId, const QString& name);
    // A host's connection began or ended, or it went down for another reason: what the
    // operator is told about it may have changed.
    void hostStatusChanged();

private:
    void Dispatch(short context, const QString& command, long connectionId);
    void SendLogin(CKRHost& host);
    void OnLoginReply(const QString& command, long connectionId);
    void OnCheckAlive(const QString& command, long connectionId);
    void ReleaseAllHosts();
    // Ends the host's connection for the program's own reason, which the end event keeps.
    void DisconnectFor(CKRHost& host, CKRHost::DownReason reason);
    std::vector<int> HostIds() const;

    ClientControl& m_control;
    const TickSource& m_ticks;
    CTnClientDlg m_dlg;
    std::unique_ptr<CHostMap> m_hosts;
    struct Command
    {
        CommandHandler handler;
        CommandKind kind = CommandKind::Other;
    };
    QHash<QString, Command> m_commands;
    QString m_lastCommand;
    int m_lastCommandHost = -1;
    ConfigurationMeter m_configurationMeter;
    std::unique_ptr<CConfigurationHandlers> m_configuration;
    std::unique_ptr<CVideoSourceHandlers> m_videoSources;

    DeviceTreeSink m_noTree;
    LiveViewSink m_noLiveView;
    EventListSink m_noEventList;
    DeviceTreeSink* m_tree = &m_noTree;
    LiveViewSink* m_liveView = &m_noLiveView;
    EventListSink* m_eventList = &m_noEventList;

    QString m_hostListPath;
    QTimer m_connectionTimer; // timer 1
    QTimer m_keepAliveTimer;  // timer 2
    int m_connectionPassInterval = kConnectionPassInterval;
    bool m_running = false;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
};
