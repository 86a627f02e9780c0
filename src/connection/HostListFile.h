#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class QIODevice;

// One record of the host list file "KRNotifyHosts".
struct HostListEntry
{
    int hostId = -1;
    QString name;
    QString userName;
    QString password;
    QString address;
    int port = 9987;

    bool operator==(const HostListEntry& other) const;
};

// The binary host list (format in docs/host-list.md). Reading never trusts the file: records
// are read one by one up to the count, and an incomplete record ends the list.
namespace HostListFile {
// "KRNotifyHosts" in the program's writable data folder.
QString DefaultPath();
// The complete records of the file; empty when it cannot be opened.
std::vector<HostListEntry> Load(const QString& path);
std::vector<HostListEntry> Read(QIODevice& device);
QByteArray Serialize(const std::vector<HostListEntry>& entries);
// Writes a temporary file beside the list (mode 0600: it holds passwords) and renames it over
// the list, so a failed or interrupted save leaves the previous list intact. Refuses (false,
// nothing written) a list with a text that could not be read back: one holding a NUL.
bool Save(const QString& path, const std::vector<HostListEntry>& entries);
} // namespace HostListFile
