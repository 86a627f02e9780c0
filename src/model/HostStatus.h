#pragma once

#include "model/CKRHost.h"

#include <QString>
#include <QStringList>

class CHostMap;

// What the operator is told about a host that is not connected: why, and when it last was.
// Texts come from the string table.
class HostStatus
{
public:
    // The host lines of the tray tip: at most this many, then one line with the rest's count.
    static constexpr int kMaxListedHosts = 8;

    // "connection refused", ...; "not connected yet" for None.
    static QString ReasonText(CKRHost::DownReason reason);
    // "last connected <date and time>" or "never connected".
    static QString LastConnectedText(const CKRHost& host);
    // The host's label in the tree: its name, with the reason while it is down (not before its
    // first attempt ended).
    static QString Label(const CKRHost& host);
    // The host's tooltip in the tree: reason and last connection on two lines; empty while
    // connected.
    static QString Details(const CKRHost& host);
    // One line per host that is not connected, in map order: "name: reason; last connected".
    static QStringList DownHostLines(const CHostMap& hosts);
};
