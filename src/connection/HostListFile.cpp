#include "connection/HostListFile.h"

#include "platform/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QtEndian>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcHostList, "krnotify.hostlist")

namespace {

constexpr qint64 kFormatNumber = 1;

bool ReadInt64(QIODevice& device, qint64& value)
{
    char bytes[8];
    if (device.read(bytes, sizeof bytes) != sizeof bytes)
        return false;
    value = qFromLittleEndian<qint64>(bytes);
    return true;
}

// The stored numbers are 64-bit; only their low 32 bits are meaningful.
bool ReadInt32(QIODevice& device, int& value)
{
    qint64 wide = 0;
    if (!ReadInt64(device, wide))
        return false;
    value = static_cast<int>(static_cast<quint32>(static_cast<quint64>(wide)));
    return true;
}

// UTF-16LE units up to a 0 unit. The text grows only with what the file holds, so its size is
// bounded by the file's.
bool ReadString(QIODevice& device, QString& value)
{
    QString text;
    char unit[2];
    for (;;) {
        if (device.read(unit, sizeof unit) != sizeof unit)
            return false;
        const char16_t code = qFromLittleEndian<quint16>(unit);
        if (code == 0)
            break;
        text.append(QChar(code));
    }
    value = text;
    return true;
}

bool ReadEntry(QIODevice& device, HostListEntry& entry)
{
    return ReadInt32(device, entry.hostId) && ReadString(device, entry.name) &&
           ReadString(device, entry.userName) && ReadString(device, entry.password) &&
           ReadString(device, entry.address) && ReadInt32(device, entry.port);
}

// A text is stored up to a 0 unit, so one holding a NUL would be read back cut short, and every
// later field and record out of place.
bool ReadableBack(const HostListEntry& entry)
{
    for (const QString* text : {&entry.name, &entry.userName, &entry.password, &entry.address}) {
        if (text->contains(QChar(0)))
            return false;
    }
    return true;
}

void AppendInt64(QByteArray& out, qint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}

void AppendString(QByteArray& out, const QString& text)
{
    char unit[2];
    for (QChar c : text) {
        qToLittleEndian<quint16>(c.unicode(), unit);
        out.append(unit, sizeof unit);
    }
    out.append(2, '\0');
}

} // namespace

QString HostListFile::DefaultPath()
{
    return ProgramPaths::writableDataDir() + QStringLiteral("/KRNotifyHosts");
}

bool HostListEntry::operator==(const HostListEntry& other) const
{
    return hostId == other.hostId && name == other.name && userName == other.userName &&
           password == other.password && address == other.address && port == other.port;
}

namespace HostListFile {

std::vector<HostListEntry> Read(QIODevice& device)
{
    std::vector<HostListEntry> entries;
    qint64 format = 0;
    int count = 0;
    if (!ReadInt64(device, format) || !ReadInt32(device, count))
        return entries;
    // No reservation from the count: it is the file's claim, not a promise. Records are read
    // until the count is reached or one is incomplete.
    for (int i = 0; i < count; ++i) {
        HostListEntry entry;
        if (!ReadEntry(device, entry)) {
            qCWarning(lcHostList) << "host list ends inside record" << i << "of" << count
                                  << "- the complete records are kept";
            break;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<HostListEntry> Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Read(file);
}

QByteArray Serialize(const std::vector<HostListEntry>& entries)
{
    QByteArray out;
    AppendInt64(out, kFormatNumber);
    AppendInt64(out, static_cast<qint64>(entries.size()));
    for (const HostListEntry& entry : entries) {
        AppendInt64(out, entry.hostId);
        AppendString(out, entry.name);
        AppendString(out, entry.userName);
        AppendString(out, entry.password);
        AppendString(out, entry.address);
        AppendInt64(out, entry.port);
    }
    return out;
}

bool Save(const QString& path, const std::vector<HostListEntry>& entries)
{
    for (const HostListEntry& entry : entries) {
        if (!ReadableBack(entry)) {
            qCWarning(lcHostList) << "host list not saved, previous list kept: host" << entry.hostId
                                  << "has a text with a NUL character";
            return false;
        }
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcHostList) << "cannot write host list" << path << file.errorString();
        return false;
    }
    // The list holds passwords in plain text: only the owner may read it.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qCWarning(lcHostList) << "cannot restrict host list permissions" << path;
        return false; // the temporary file goes with the uncommitted QSaveFile
    }
    const QByteArray data = Serialize(entries);
    // The data reaches the disk before the rename makes it the list: after a power loss the
    // list is the old one or the new one, never an empty file.
    const bool written =
        file.write(data) == data.size() && file.flush() && ::fsync(file.handle()) == 0;
    if (!written || !file.commit()) { // uncommitted: the temporary file is removed
        qCWarning(lcHostList) << "host list not saved, previous list kept" << path
                              << file.errorString();
        return false;
    }
    return true;
}

} // namespace HostListFile
