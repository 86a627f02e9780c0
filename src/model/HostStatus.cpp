#include "model/HostStatus.h"

#include "i18n/StringTable.h"
#include "model/CHostMap.h"
#include "model/OleDateTime.h"

namespace {

QString Text(const char* key, const QList<TextArg>& args = {})
{
    return CStringTable::Instance().GetText(QLatin1String(key), args);
}

} // namespace

QString HostStatus::ReasonText(CKRHost::DownReason reason)
{
    using Down = CKRHost::DownReason;
    switch (reason) {
    case Down::None:
        break;
    case Down::Refused:
        return Text("TAV_IDS_HOST_REFUSED");
    case Down::NoAnswer:
        return Text("TAV_IDS_HOST_NO_ANSWER");
    case Down::NameNotFound:
        return Text("TAV_IDS_HOST_NAME_NOT_FOUND");
    case Down::NetworkError:
        return Text("TAV_IDS_HOST_NETWORK_ERROR");
    case Down::LoginRefused:
        return Text("TAV_IDS_HOST_LOGIN_REFUSED");
    case Down::KeepAliveLost:
        return Text("TAV_IDS_HOST_KEEPALIVE_LOST");
    case Down::ConnectionLost:
        return Text("TAV_IDS_HOST_CONNECTION_LOST");
    }
    return Text("TAV_IDS_HOST_NOT_CONNECTED_YET");
}

QString HostStatus::LastConnectedText(const CKRHost& host)
{
    if (!host.lastConnected.isValid())
        return Text("TAV_IDS_HOST_NEVER_CONNECTED");
    return Text("TAV_IDS_HOST_LAST_CONNECTED",
                {COleDateTime::fromDateTime(host.lastConnected).toDisplayText()});
}

QString HostStatus::Label(const CKRHost& host)
{
    if (host.connected || host.downReason == CKRHost::DownReason::None)
        return host.name;
    return Text("TAV_IDS_HOST_DOWN_LABEL", {host.name, ReasonText(host.downReason)});
}

QString HostStatus::Details(const CKRHost& host)
{
    if (host.connected)
        return {};
    return ReasonText(host.downReason) + QLatin1Char('\n') + LastConnectedText(host);
}

QStringList HostStatus::DownHostLines(const CHostMap& hosts)
{
    QStringList lines;
    int notListed = 0;
    for (const auto& entry : hosts) {
        const CKRHost& host = *entry.second;
        if (host.connected)
            continue;
        if (lines.size() == kMaxListedHosts) {
            ++notListed;
            continue;
        }
        lines << Text("TAV_IDS_HOST_DOWN_LINE",
                      {host.name, ReasonText(host.downReason), LastConnectedText(host)});
    }
    if (notListed > 0)
        lines << Text("TAV_IDS_HOST_DOWN_MORE", {notListed});
    return lines;
}
