// Profile (ini) files as the reader meets them, and the string table read from such a file:
// lookups, formatting with arguments, and a value written by the writer, which must read back
// as written.
//
// Input: a section, a key, a value, a buffer size, a language id and formatting arguments
// (FuzzedDataProvider), then the file's bytes.

#include "i18n/StringTable.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

QString Text(FuzzedDataProvider& in, size_t maxBytes)
{
    return QString::fromStdString(in.ConsumeRandomLengthString(maxBytes));
}

const QString& FilePath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("KRNotify.StringTable"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString section = Text(in, 40);
    const QString key = Text(in, 40);
    const QString value = Text(in, 200);
    const int buffer = in.ConsumeIntegralInRange(0, 2048);
    const quint16 language = in.ConsumeIntegral<quint16>();
    const QList<TextArg> args{in.ConsumeIntegral<int>(), in.ConsumeFloatingPoint<double>(),
                              Text(in, 40)};
    const std::string content = in.ConsumeRemainingBytesAsString();

    const QString& path = FilePath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(content.data(), qint64(content.size()));
    }
    ProfileFile::clearCache(); // a rewrite within the same clock tick looks unchanged

    ProfileFile::readString(path, section, key, QStringLiteral("default  "), buffer);
    ProfileFile::readInt(path, section, key, -1);

    const CStringTable table(path, language);
    table.GetText(key);
    table.GetText(key, args);

    // What the writer accepts reads back as written, whatever else the file holds.
    if (ProfileFile::writeString(path, section, key, value)) {
        const QString back = ProfileFile::readString(path, section.trimmed(), key.trimmed(),
                                                     QString(), int(value.size()) + 1);
        if (back != value)
            std::abort();
    }
    return 0;
}
