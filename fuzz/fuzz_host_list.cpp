// The host list file as its reader meets it: any bytes. Whatever it reads must be written back
// and read again unchanged, so a list that loaded once survives every later save.

#include "connection/HostListFile.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const std::vector<HostListEntry> entries = HostListFile::Read(file);

    QByteArray written = HostListFile::Serialize(entries);
    QBuffer again(&written);
    again.open(QIODevice::ReadOnly);
    if (!(HostListFile::Read(again) == entries))
        std::abort();
    return 0;
}
