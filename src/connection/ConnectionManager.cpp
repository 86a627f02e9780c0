#include "connection/ConnectionManager.h"

#include "connection/ConfigurationHandlers.h"
#include "connection/FieldReader.h"
#include "connection/HostListFile.h"
#include "connection/VideoSourceHandlers.h"
#include "model/CHostMap.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"
#include "tnclient/ClientControl.h"

#include <QLoggingCategory>

#include <vector>

Q_LOGGING_CATEGORY(lcConnection, "krnotify.connection")

namespace {

constexpr long kLoginVersion = 0x6000200;
constexpr long kRemoteMonitorType = 2;
constexpr qint32 kVersionWhenMissing = 0x1010000;

// R_GP bits (used when a login reply carries no R_PRIVILEGE) and the privilege bits they give.
constexpr struct
{
    quint32 groupPrivilege;
    quint32 privilege;
} kGroupPrivilegeMap[] = {
    {0x1, 0x80},    {0x2, 0x200}, {0x4, 0x400},    {0x8, 0x1000},  {0x10, 0x2000},
    {0x20, 0x4000}, {0x40, 0x4},  {0x80, 0x40000}, {0x100, 0x100},
};

quint32 PrivilegesFromGroupBits(quint32 groupBits)
{
    quint32 mask = 0;
    for (const auto& entry : kGroupPrivilegeMap) {
        if (groupBits & entry.groupPrivilege)
            mask |= entry.privilege;
    }
    return mask;
}

// A rights text as the host means it: one byte per device group. The host's side counts bytes
// of an 8-bit code page; Latin-1 gives exactly one byte per character (anything outside it
// becomes '?'), so byte i is character i and the length test matches a single-byte code page.
// A multi-byte local encoding would shift the positions of every later group.
QByteArray RightsBytes(const QString& text)
{
    return text.toLatin1();
}

// The reason a connection's end gives the host. Requested (the program's own Disconnect) gives
// None: the program has set its own reason (login refused, keep-alive lost) already.
CKRHost::DownReason DownReasonOf(ClientControl::EndReason end, bool wasConnected)
{
    using End = ClientControl::EndReason;
    using Down = CKRHost::DownReason;
    switch (end) {
    case End::Requested:
        return Down::None;
    case End::Refused:
        return Down::Refused;
    case End::TimedOut:
        return Down::NoAnswer;
    case End::HostNotFound:
        return Down::NameNotFound;
    case End::NetworkError:
        return Down::NetworkError;
    case End::ClosedByHost:
    case End::BadData:
        return Down::ConnectionLost;
    case End::Unknown:
        break;
    }
    return wasConnected ? Down::ConnectionLost : Down::NetworkError;
}

void ReadRights(CKRHost::RightsTable& table, const QByteArray& bytes)
{
    for (int i = 0; i < CKRHost::kRightsCount; ++i)
        table[size_t(i)] = bytes.at(i) == '1' ? 1 : 0;
}

} // namespace

CConnectionManager::CConnectionManager(ClientControl& control, const TickSource& ticks,
                                       QObject* parent)
    : QObject(parent), m_control(control), m_ticks(ticks), m_dlg(control, *this),
      m_hosts(std::make_unique<CHostMap>()), m_configurationMeter(ticks),
      m_configuration(std::make_unique<CConfigurationHandlers>(*this)),
      m_videoSources(std::make_unique<CVideoSourceHandlers>(*this)),
      m_hostListPath(HostListFile::DefaultPath())
{
    m_connectionTimer.setSingleShot(true);
    m_keepAliveTimer.setSingleShot(true);
    connect(&m_connectionTimer, &QTimer::timeout, this, &CConnectionManager::RunConnectionPass);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &CConnectionManager::RunKeepAlivePass);

    RegisterCommand(QStringLiteral("REMOTEMONITOR_LOGIN"),
                    [this](const QString& command, long id) { OnLoginReply(command, id); });
    RegisterCommand(QStringLiteral("CHECK_ALIVE"),
                    [this](const QString& command, long id) { OnCheckAlive(command, id); });
    m_configuration->RegisterCommands();
    m_videoSources->RegisterCommands();
}

CConnectionManager::~CConnectionManager() = default;

bool CConnectionManager::Create()
{
    return m_dlg.Create();
}

void CConnectionManager::setDeviceTree(DeviceTreeSink* sink)
{
    m_tree = sink ? sink : &m_noTree;
}

void CConnectionManager::setLiveView(LiveViewSink* sink)
{
    m_liveView = sink ? sink : &m_noLiveView;
}

void CConnectionManager::setEventList(EventListSink* sink)
{
    m_eventList = sink ? sink : &m_noEventList;
}

DeviceTreeSink& CConnectionManager::deviceTree()
{
    return *m_tree;
}

LiveViewSink& CConnectionManager::liveView()
{
    return *m_liveView;
}

EventListSink& CConnectionManager::eventList()
{
    return *m_eventList;
}

CHostMap& CConnectionManager::hosts()
{
    return *m_hosts;
}

ClientControl& CConnectionManager::control()
{
    return m_control;
}

CKRHost* CConnectionManager::FindHostById(int hostId)
{
    return m_hosts->Find(hostId);
}

CKRHost* CConnectionManager::FindHostByConnection(long connectionId)
{
    // Connection ids are positive 32-bit values; anything else names no connection (and must
    // not match the idle hosts, whose id is 0).
    if (connectionId <= 0 || connectionId > std::numeric_limits<qint32>::max())
        return nullptr;
    return m_hosts->FindByConnection(qint32(connectionId));
}

CKRHost* CConnectionManager::FindConnectedHost(long connectionId)
{
    CKRHost* host = FindHostByConnection(connectionId);
    return host && host->connected ? host : nullptr;
}

void CConnectionManager::RegisterCommand(const QString& command, CommandHandler handler,
                                         CommandKind kind)
{
    m_commands.insert(command, {std::move(handler), kind});
}

QString CConnectionManager::LastHandledMessage() const
{
    if (m_lastCommand.isEmpty())
        return QStringLiteral("no host message yet");
    return QStringLiteral("%1 from host %2").arg(m_lastCommand).arg(m_lastCommandHost);
}

// --- control events -----------------------------------------------------------------------

void CConnectionManager::OnReceive(short context, const QString& command, long connectionId)
{
    Dispatch(context, command, connectionId);
}

void CConnectionManager::OnReceive2(short context, const QString& command, long connectionId)
{
    Dispatch(context, command, connectionId);
}

void CConnectionManager::Dispatch(short context, const QString& command, long connectionId)
{
    const CKRHost* host = FindHostByConnection(connectionId);
    if (!host) {
        m_control.Disconnect(connectionId);
        return;
    }
    if (context != CTnClientDlg::kContext)
        return;
    if (command.isEmpty()) {
        qCDebug(lcConnection) << "message without a command name dropped, connection"
                              << connectionId;
        return;
    }
    const auto it = m_commands.constFind(command);
    if (it == m_commands.constEnd())
        return;
    const Command handling = it.value(); // a handler may register commands itself
    const int hostId = host->hostId;     // the handler may remove the host
    m_lastCommand = command;
    m_lastCommandHost = hostId;
    handling.handler(command, connectionId);
    if (handling.kind == CommandKind::Configuration)
        m_configurationMeter.ConfigurationHandled(hostId);
}

void CConnectionManager::OnConnected(short context, long connectionId)
{
    CKRHost* host = FindHostByConnection(connectionId);
    if (!host) {
        m_control.Disconnect(connectionId);
        return;
    }
    if (context != CTnClientDlg::kContext)
        return;
    host->siteConfig.Clear();
    host->connected = 1;
    host->downReason = CKRHost::DownReason::None;
    host->keepAliveStamp = 0;
    SendConnectionSummary();
    Q_EMIT hostStatusChanged();
    m_tree->RemoveHostNode(*host, true);
    m_tree->UpdateHostNode(*host);
    SendLogin(*host);
}

void CConnectionManager::OnConnectFailed(short context, long connectionId)
{
    CKRHost* host = FindHostByConnection(connectionId);
    if (!host || context != CTnClientDlg::kContext)
        return;
    host->downReason = DownReasonOf(m_control.GetEndReason(), false);
    host->ResetLoginState();
    m_tree->UpdateHostNode(*host);
    Q_EMIT hostStatusChanged();
}

void CConnectionManager::OnClose(short context, long connectionId)
{
    CKRHost* host = FindHostByConnection(connectionId);
    if (!host || context != CTnClientDlg::kContext)
        return;
    if (host->loggedIn)
        host->lastConnected = m_now();
    // A reason the program gave when it closed the connection itself stands.
    if (host->downReason == CKRHost::DownReason::None)
        host->downReason = DownReasonOf(m_control.GetEndReason(), true);
    host->ResetLoginState();
    m_configurationMeter.HostClosed(host->hostId);
    SendConnectionSummary();
    m_liveView->DisconnectHost(*host);
    m_tree->UpdateHostNode(*host);
    Q_EMIT hostStatusChanged();
}

void CConnectionManager::DisconnectFor(CKRHost& host, CKRHost::DownReason reason)
{
    host.downReason = reason;
    m_control.Disconnect(host.connectionId);
}

// --- login and keep-alive -----------------------------------------------------------------

void CConnectionManager::SendLogin(CKRHost& host)
{
    if (!host.connected)
        return;
    m_control.SetIntField(QStringLiteral("VERSION"), kLoginVersion);
    m_control.SetTextField(QStringLiteral("USERNAME"), host.userName);
    m_control.SetTextField(QStringLiteral("PASSWORD"), host.password);
    m_control.SetIntField(QStringLiteral("KRREMOTE_TYPE"), kRemoteMonitorType);
    m_control.SendCommand(QStringLiteral("REMOTEMONITOR_LOGIN"), host.connectionId);
}

void CConnectionManager::OnLoginReply(const QString&, long connectionId)
{
    CKRHost* host = FindConnectedHost(connectionId);
    if (!host)
        return;
    const FieldReader reply(m_control, FieldReader::Source::LoginReply);
    const QString previousGuid = host->guidText;
    host->guidText = reply.Text(QStringLiteral("R_GUID"));
    host->serverVersion = reply.Int(QStringLiteral("R_VERSION"));
    if (reply.Int(QStringLiteral("R_RESULT")) != 0) {
        // Refused: the connection closes and the connection pass tries again later.
        DisconnectFor(*host, CKRHost::DownReason::LoginRefused);
        return;
    }
    host->loggedIn = true;
    host->lastConnected = m_now();
    if (host->serverVersion == 0)
        host->serverVersion = kVersionWhenMissing;

    host->privilegeMask = quint32(reply.Int(QStringLiteral("R_PRIVILEGE")));
    if (host->privilegeMask == 0)
        host->privilegeMask = PrivilegesFromGroupBits(quint32(reply.Int(QStringLiteral("R_GP"))));

    host->ClearRights();
    const QByteArray read = RightsBytes(reply.Text(QStringLiteral("R_READ")));
    const QByteArray write = RightsBytes(reply.Text(QStringLiteral("R_WRITE")));
    const QByteArray execute = RightsBytes(reply.Text(QStringLiteral("R_EXECUTE")));
    if (read.size() >= CKRHost::kRightsCount && write.size() >= CKRHost::kRightsCount &&
        execute.size() >= CKRHost::kRightsCount) {
        ReadRights(host->readRights, read);
        ReadRights(host->writeRights, write);
        ReadRights(host->executeRights, execute);
    }

    host->key = reply.Int(QStringLiteral("R_KEY"));

    // Another installation (or the first login of this run): its events are not ours.
    if (host->guidText != previousGuid)
        m_eventList->RemoveHostEvents(host->hostId);
    m_configurationMeter.LoginAccepted(host->hostId);
    Q_EMIT hostLoggedIn(host->hostId);
}

void CConnectionManager::OnCheckAlive(const QString&, long connectionId)
{
    if (CKRHost* host = FindConnectedHost(connectionId))
        host->keepAliveStamp = 0;
}

void CConnectionManager::RunKeepAlivePass()
{
    m_keepAliveTimer.stop();
    const quint32 now = m_ticks.tickCount();
    for (int hostId : HostIds()) {
        CKRHost* host = FindHostById(hostId);
        if (!host || !host->connected)
            continue;
        if (host->keepAliveStamp == 0) {
            host->keepAliveStamp = now;
            m_control.SendCommand(QStringLiteral("CHECK_ALIVE"), host->connectionId);
        } else if (now < host->keepAliveStamp) {
            host->keepAliveStamp = now; // the tick counter wrapped: start the wait again
        } else if (now - host->keepAliveStamp > kKeepAliveTimeout) {
            // Liveness counts what arrived: the answer may be queued behind messages that have
            // not been handled yet.
            if (m_control.HasWaitingMessages(host->connectionId)) {
                qCInfo(lcConnection)
                    << "host" << host->hostId << "unanswered for" << now - host->keepAliveStamp
                    << "ms, but its messages are still being handled";
                continue;
            }
            qCInfo(lcConnection) << "host" << host->hostId << "silent for"
                                 << now - host->keepAliveStamp << "ms, reconnecting";
            DisconnectFor(*host, CKRHost::DownReason::KeepAliveLost);
            TryConnect(*host);
        }
    }
    if (m_running)
        m_keepAliveTimer.start(kKeepAliveInterval);
}

// --- connection management ----------------------------------------------------------------

std::vector<int> CConnectionManager::HostIds() const
{
    // A snapshot: a view called during a pass may add or remove hosts.
    std::vector<int> ids;
    ids.reserve(size_t(m_hosts->size()));
    for (const auto& entry : *m_hosts)
        ids.push_back(entry.first);
    return ids;
}

void CConnectionManager::TryConnect(CKRHost& host)
{
    if (host.connected || host.connectionId > 0)
        return;
    const long id = m_control.Connect(host.address, host.port);
    // A refusal (<= 0) is kept; the next connection pass tries again.
    host.connectionId = id > std::numeric_limits<qint32>::max() ? 0 : qint32(id);
    m_tree->UpdateHostNode(host);
}

void CConnectionManager::ReconnectHost(CKRHost& host)
{
    m_control.Disconnect(host.connectionId);
    TryConnect(host);
}

void CConnectionManager::RunConnectionPass()
{
    m_connectionTimer.stop();
    for (int hostId : HostIds()) {
        if (CKRHost* host = FindHostById(hostId))
            TryConnect(*host);
    }
    if (m_running)
        m_connectionTimer.start(m_connectionPassInterval);
}

void CConnectionManager::setConnectionPassInterval(int ms)
{
    m_connectionPassInterval = qMax(0, ms);
}

void CConnectionManager::SendConnectionSummary()
{
    int connected = 0;
    for (const auto& entry : *m_hosts)
        connected += entry.second->connected ? 1 : 0;
    int state = 1;
    if (connected == 0)
        state = 2;
    else if (connected == m_hosts->size())
        state = 0;
    Q_EMIT connectionSummary(state);
}

bool CConnectionManager::AddHost(std::unique_ptr<CKRHost> host)
{
    CKRHost* added = m_hosts->Add(std::move(host));
    if (!added)
        return false;
    SendConnectionSummary();
    m_tree->UpdateHostNode(*added);
    return true;
}

void CConnectionManager::RemoveHost(int hostId)
{
    CKRHost* host = FindHostById(hostId);
    if (!host)
        return;
    m_control.Disconnect(host->connectionId);
    m_liveView->DisconnectHost(*host);
    m_tree->RemoveHostNode(*host, false);
    const QString name = host->name;
    m_hosts->Remove(hostId);
    SendConnectionSummary();
    Q_EMIT hostRemoved(hostId, name);
}

static void ApplySettings(CKRHost& host, const HostSettings& settings)
{
    host.name = settings.name;
    host.address = settings.address;
    host.port = settings.port;
    host.userName = settings.userName;
    host.password = settings.password;
}

CKRHost* CConnectionManager::ApplyHostSettings(CKRHost* existing, const HostSettings& settings)
{
    CKRHost* result = existing;
    if (existing) {
        ApplySettings(*existing, settings);
        // The new address is used by the next attempt, once the control reports the end of
        // the current connection.
        m_control.Disconnect(existing->connectionId);
        TryConnect(*existing);
        m_tree->UpdateHostNode(*existing); // show the new name at once
    } else {
        auto host = std::make_unique<CKRHost>(m_hosts->assignHostId());
        ApplySettings(*host, settings);
        const int hostId = host->hostId;
        result = AddHost(std::move(host)) ? FindHostById(hostId) : nullptr;
        m_tree->SortHostNodes();
    }
    SaveHostList();
    if (result)
        Q_EMIT hostSaved(result->hostId, !existing);
    Q_EMIT hostStatusChanged(); // a new name, or a new host not connected yet
    return result;
}

// --- host list ----------------------------------------------------------------------------

void CConnectionManager::setHostListPath(const QString& path)
{
    m_hostListPath = path;
}

void CConnectionManager::LoadHostList()
{
    for (const HostListEntry& entry : HostListFile::Load(m_hostListPath)) {
        m_hosts->raiseCounter(entry.hostId);
        CKRHost* host = FindHostById(entry.hostId);
        std::unique_ptr<CKRHost> created;
        if (!host) {
            if (entry.hostId < 0)
                continue;
            created = std::make_unique<CKRHost>(entry.hostId);
            host = created.get();
        }
        host->name = entry.name;
        host->userName = entry.userName;
        host->password = entry.password;
        host->address = entry.address;
        host->port = entry.port;
        if (created)
            AddHost(std::move(created));
    }
}

bool CConnectionManager::SaveHostList()
{
    std::vector<HostListEntry> entries;
    entries.reserve(size_t(m_hosts->size()));
    for (const auto& [hostId, host] : *m_hosts)
        entries.push_back(
            {hostId, host->name, host->userName, host->password, host->address, host->port});
    return HostListFile::Save(m_hostListPath, entries);
}

// --- start and stop -----------------------------------------------------------------------

void CConnectionManager::Start()
{
    LoadHostList();
    m_tree->SortHostNodes();
    m_running = true;
    m_connectionTimer.start(0);
    m_keepAliveTimer.start(kKeepAliveInterval);
}

void CConnectionManager::Stop()
{
    m_running = false;
    m_connectionTimer.stop();
    m_keepAliveTimer.stop();
    SaveHostList();
    ReleaseAllHosts();
}

void CConnectionManager::ReleaseAllHosts()
{
    for (int hostId : HostIds()) {
        CKRHost* host = FindHostById(hostId);
        if (!host)
            continue;
        m_control.Disconnect(host->connectionId);
        m_liveView->DisconnectHost(*host);
        m_tree->RemoveHostNode(*host, false);
        m_hosts->Remove(hostId);
    }
}

void CConnectionManager::Redraw()
{
    Q_EMIT redrawRequested();
}
