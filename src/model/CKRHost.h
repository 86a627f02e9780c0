#pragma once

#include "model/CSiteConfig.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <array>

// One configured server: how to reach it, the state of its connection and login, the
// operator's rights there, and its site as it describes it.
class CKRHost
{
public:
    static constexpr int kRightsCount = 1000; // device group ids 0 to 999
    using RightsTable = std::array<qint32, kRightsCount>;

    static constexpr qint32 kDefaultServerVersion = 0x4020300;
    static constexpr qint32 kDefaultPort = 9987;
    static constexpr quint32 kDoorPrivilege = 0x80;
    static constexpr quint32 kLiveVideoPrivilege = 0x2000;

    // Why a host is not connected, as the operator is told.
    enum class DownReason
    {
        None, // connected, or no attempt has ended yet
        Refused,
        NoAnswer,
        NameNotFound,
        NetworkError,
        LoginRefused,
        KeepAliveLost,
        ConnectionLost // closed by the host, or it sent what is not the protocol
    };

    explicit CKRHost(qint32 id);
    CKRHost(const CKRHost&) = delete;
    CKRHost& operator=(const CKRHost&) = delete;

    // Installation identity text "XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX" (third group lower case).
    static QString FormatGuid(const QUuid& uuid);
    static QString NewGuidText();

    // Every right withdrawn (all three tables 0).
    void ClearRights();
    // Back to "not logged in": connected 0, connection id 0, not logged in, privileges 0, no
    // rights, key 0. Why the host went down and when it was last connected stay.
    void ResetLoginState();

    // A right is granted only for group ids 0 to 999 whose table entry is 1.
    bool hasReadRight(qint32 groupId) const { return granted(readRights, groupId); }
    bool hasWriteRight(qint32 groupId) const { return granted(writeRights, groupId); }
    bool hasExecuteRight(qint32 groupId) const { return granted(executeRights, groupId); }
    bool hasPrivilege(quint32 bits) const { return (privilegeMask & bits) == bits; }

    QString guidText;
    qint32 serverVersion = kDefaultServerVersion;
    qint32 connected = 0;
    bool loggedIn = false; // the host accepted the login on the current connection
    DownReason downReason = DownReason::None;
    QDateTime lastConnected;    // the last moment it was connected and logged in; null: never
    quint32 keepAliveStamp = 0; // tick of the unanswered keep-alive request; 0 when none
    CSiteConfig siteConfig;
    qint32 hostId;
    QString name;
    qint32 port = kDefaultPort;
    qint32 connectionId = 0;
    QString address;
    qint32 key = 0;
    QString userName;
    QString password;
    quint32 privilegeMask = 0;
    RightsTable readRights{};
    RightsTable writeRights{};
    RightsTable executeRights{};

private:
    static bool granted(const RightsTable& table, qint32 groupId)
    {
        return groupId >= 0 && groupId < kRightsCount && table[size_t(groupId)] == 1;
    }
};
