#include "platform/ProfileFile.h"

#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QStringConverter>
#include <QStringList>

#include <sys/stat.h>

#include <memory>

Q_LOGGING_CATEGORY(lcProfile, "krnotify.platform.profile")

namespace {

// Files above this size are parsed on every lookup instead of being kept in memory.
constexpr qint64 MaxCachedFileBytes = 1024 * 1024;
constexpr int MaxCachedFiles = 16;
// Windows reads a profile integer through a 30-character buffer before converting it.
constexpr int IntegerBufferChars = 30;

enum class Encoding
{
    Utf8,
    Utf8Bom,
    Utf16Le,
    Utf16Be,
    Latin1
};

struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modifiedNs == o.modifiedNs && changedNs == o.changedNs;
    }
};

// False when the path does not name an existing regular file.
bool stampOf(const QString& path, FileStamp& stamp)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

struct DecodedText
{
    Encoding encoding = Encoding::Utf8;
    QString text;
};

DecodedText decode(const QByteArray& bytes)
{
    DecodedText out;
    const auto decodeAs = [](QStringConverter::Encoding enc, QByteArrayView data) {
        // A trailing odd byte of UTF-16 text is not a character: leave it out.
        if (enc != QStringConverter::Utf8 && data.size() % 2)
            data.chop(1);
        QStringDecoder decoder(enc, QStringConverter::Flag::Stateless);
        return QString(decoder.decode(data));
    };
    if (bytes.startsWith("\xFF\xFE")) {
        out.encoding = Encoding::Utf16Le;
        out.text = decodeAs(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        out.encoding = Encoding::Utf16Be;
        out.text = decodeAs(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        out.encoding = Encoding::Utf8Bom;
        out.text = decodeAs(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        out.text = utf8.decode(bytes);
        if (utf8.hasError()) {
            out.encoding = Encoding::Latin1;
            out.text = QString::fromLatin1(bytes);
        }
    }
    return out;
}

QByteArray encode(const QString& text, Encoding& encoding)
{
    if (encoding == Encoding::Latin1) {
        for (QChar c : text) {
            if (c.unicode() > 0xFF) {
                // Keeping 8-bit text would lose this character: the file becomes UTF-8, which
                // the reader recognises, and the old characters survive the change.
                qCInfo(lcProfile) << "8-bit profile file rewritten as UTF-8 to keep" << c;
                encoding = Encoding::Utf8;
                break;
            }
        }
    }
    switch (encoding) {
    case Encoding::Latin1:
        return text.toLatin1();
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool le = encoding == Encoding::Utf16Le;
        QStringEncoder encoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Stateless);
        return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
    }
    }
    return {};
}

enum class LoadResult
{
    Ok,
    Missing,
    Failed
};

QMutex& mutex()
{
    static QMutex m;
    return m;
}

// Paths already reported as too large (reported once each, to keep the log readable).
QSet<QString>& reportedPaths()
{
    static QSet<QString> paths;
    return paths;
}

LoadResult loadText(const QString& path, DecodedText& out)
{
    QFile file(path);
    if (!file.exists())
        return LoadResult::Missing;
    if (file.size() > ProfileFile::MaxFileBytes) {
        QSet<QString>& reported = reportedPaths();
        if (!reported.contains(path) && reported.size() < 64) {
            reported.insert(path);
            qCWarning(lcProfile) << "profile file ignored, larger than" << ProfileFile::MaxFileBytes
                                 << "bytes:" << path;
        }
        return LoadResult::Failed;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcProfile) << "cannot read profile file" << path << file.errorString();
        return LoadResult::Failed;
    }
    // As much as the file holds, never past the limit, even when it grows meanwhile; one byte
    // more tells a file that grew past the limit. (Not the limit itself: a read allocates its
    // whole size first, 16 MiB for a file of a few KiB.)
    const QByteArray bytes = file.read(qMin(file.size(), ProfileFile::MaxFileBytes) + 1);
    if (bytes.size() > ProfileFile::MaxFileBytes)
        return LoadResult::Failed;
    out = decode(bytes);
    return LoadResult::Ok;
}

// Splits on CR LF, LF or CR. A final line break does not start another line.
QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString fold(QStringView name)
{
    return name.toString().toCaseFolded();
}

// One line of a profile file, as the reader sees it.
struct ParsedLine
{
    enum Kind
    {
        Other,
        Section,
        Entry
    } kind = Other;
    QStringView name;  // section name or key, trimmed
    QStringView value; // trimmed, quotes removed, cut at a NUL
};

ParsedLine parseLine(QStringView line)
{
    ParsedLine out;
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u';')
        return out;
    if (trimmed.front() == u'[') {
        const qsizetype close = trimmed.lastIndexOf(u']');
        out.kind = ParsedLine::Section;
        out.name = (close > 0 ? trimmed.mid(1, close - 1) : trimmed.mid(1)).trimmed();
        return out;
    }
    out.kind = ParsedLine::Entry;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq < 0) {
        out.name = trimmed;
        return out;
    }
    out.name = trimmed.left(eq).trimmed();
    QStringView value = trimmed.mid(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    const qsizetype nul = value.indexOf(QChar(0));
    out.value = nul < 0 ? value : value.left(nul);
    return out;
}

// The reader's view of a file: folded section name -> folded key -> value; first match wins.
struct Document
{
    QHash<QString, QHash<QString, QString>> sections;
};

std::shared_ptr<const Document> parse(const QString& text)
{
    auto doc = std::make_shared<Document>();
    QHash<QString, QString>* current = nullptr;
    for (QStringView line : splitLines(text)) {
        const ParsedLine parsed = parseLine(line);
        if (parsed.kind == ParsedLine::Section) {
            const QString name = fold(parsed.name);
            current = doc->sections.contains(name) ? nullptr : &doc->sections[name];
        } else if (parsed.kind == ParsedLine::Entry && current) {
            const QString key = fold(parsed.name);
            if (!current->contains(key))
                current->insert(key, parsed.value.toString());
        }
    }
    return doc;
}

struct CacheEntry
{
    FileStamp stamp;
    std::shared_ptr<const Document> doc;
};

QHash<QString, CacheEntry>& cache()
{
    static QHash<QString, CacheEntry> entries;
    return entries;
}

// The parsed file, or null when it is missing or unreadable. Caller holds mutex().
std::shared_ptr<const Document> document(const QString& path)
{
    QHash<QString, CacheEntry>& entries = cache();
    FileStamp stamp;
    if (!stampOf(path, stamp)) {
        entries.remove(path);
        return nullptr;
    }
    const auto it = entries.constFind(path);
    if (it != entries.constEnd() && it->stamp == stamp)
        return it->doc;

    DecodedText text;
    if (loadText(path, text) != LoadResult::Ok) {
        entries.remove(path);
        return nullptr;
    }
    auto doc = parse(text.text);
    if (stamp.size <= MaxCachedFileBytes) {
        if (entries.size() >= MaxCachedFiles && !entries.contains(path))
            entries.clear();
        entries.insert(path, CacheEntry{stamp, doc});
    }
    return doc;
}

// The value of an ASCII digit in the given base, or -1.
int digitValue(QChar c, quint32 base)
{
    const char16_t u = c.toLower().unicode();
    const int value = u >= u'0' && u <= u'9'   ? u - u'0'
                      : u >= u'a' && u <= u'f' ? u - u'a' + 10
                                               : -1;
    return value >= 0 && quint32(value) < base ? value : -1;
}

bool hasLineBreakOrNul(const QString& s)
{
    return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0));
}

// A value that the reader would change (surrounding blanks or quotes) is written in quotes,
// which the reader removes again.
QString quotedIfNeeded(const QString& value)
{
    if (value.isEmpty())
        return value;
    const QChar first = value.front();
    const QChar last = value.back();
    const bool quoted = value.size() >= 2 && (first == u'"' || first == u'\'') && last == first;
    if (first.isSpace() || last.isSpace() || quoted)
        return u'"' + value + u'"';
    return value;
}

} // namespace

QString ProfileFile::readString(const QString& path, const QString& section, const QString& key,
                                const QString& defaultValue, int bufferChars)
{
    const qsizetype limit = qMax(0, bufferChars - 1);
    {
        QMutexLocker lock(&mutex());
        if (const auto doc = document(path)) {
            const auto sec = doc->sections.constFind(fold(section));
            if (sec != doc->sections.constEnd()) {
                const auto value = sec->constFind(fold(key));
                if (value != sec->constEnd())
                    return value->left(limit);
            }
        }
    }
    // Windows drops trailing blanks of the default before handing it back.
    qsizetype end = defaultValue.size();
    while (end > 0 && defaultValue.at(end - 1).isSpace())
        --end;
    return defaultValue.left(qMin(end, limit));
}

// Mirrors GetPrivateProfileInt: the value, read through a 30-character buffer, is converted as
// RtlUnicodeStringToInteger documents for base 0: leading white space is skipped, a '-' negates
// and '+' is allowed, a "0x", "0o" or "0b" prefix selects hexadecimal, octal or binary (else
// decimal), and the digits end at the first character that is not one. A value without digits
// ("abc", "-", "0x") is 0; a key that is absent or has an empty value gives the default. The
// result is the 32-bit pattern the UINT return carries, so "-1" reads as -1 and the arithmetic
// wraps modulo 2^32.
int ProfileFile::readInt(const QString& path, const QString& section, const QString& key,
                         int defaultValue)
{
    const QString text = readString(path, section, key, QString(), IntegerBufferChars);
    if (text.isEmpty())
        return defaultValue;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].unicode() <= u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    quint32 base = 10;
    if (i + 1 < n && text[i] == u'0') {
        const char16_t prefix = text[i + 1].toLower().unicode();
        base = prefix == u'x' ? 16 : prefix == u'o' ? 8 : prefix == u'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    quint32 result = 0;
    for (; i < n; ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            break;
        result = result * base + quint32(digit);
    }
    return int(negative ? 0u - result : result);
}

namespace {

bool breaksTheFile(const QString& section, const QString& key, const QString& value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    return sectionName.isEmpty() || keyName.isEmpty() || hasLineBreakOrNul(section) ||
           hasLineBreakOrNul(key) || hasLineBreakOrNul(value) || sectionName.contains(u']') ||
           keyName.contains(u'=') || keyName.front() == u'[' || keyName.front() == u';';
}

// Sets key=value in the first section of that name among the lines: replaces the key's line,
// or adds the key at the end of the section (before its blank lines), or appends the section.
void setEntry(QStringList& lines, const QString& sectionName, const QString& keyName,
              const QString& value)
{
    const QString wantedSection = fold(sectionName);
    const QString wantedKey = fold(keyName);
    const QString entryValue = quotedIfNeeded(value);
    qsizetype sectionStart = -1;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLine(lines[i]);
        if (parsed.kind == ParsedLine::Section) {
            if (sectionStart >= 0)
                break; // end of the first matching section
            if (fold(parsed.name) == wantedSection) {
                sectionStart = i;
                insertAt = i + 1;
            }
        } else if (sectionStart >= 0) {
            if (parsed.kind == ParsedLine::Entry && fold(parsed.name) == wantedKey) {
                lines[i] = parsed.name.toString() + u'=' + entryValue;
                return;
            }
            if (!lines[i].trimmed().isEmpty())
                insertAt = i + 1;
        }
    }
    if (sectionStart >= 0) {
        lines.insert(insertAt, keyName + u'=' + entryValue);
        return;
    }
    if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
        lines.append(QString());
    lines.append(u'[' + sectionName + u']');
    lines.append(keyName + u'=' + entryValue);
}

} // namespace

bool ProfileFile::writeString(const QString& path, const QString& section, const QString& key,
                              const QString& value)
{
    return writeStrings(path, section, {{key, value}});
}

bool ProfileFile::writeStrings(const QString& path, const QString& section,
                               const QList<Entry>& entries)
{
    QList<Entry> writable;
    for (const Entry& entry : entries) {
        if (breaksTheFile(section, entry.key, entry.value))
            qCWarning(lcProfile) << "refused to write a name or value that breaks the file:"
                                 << section << entry.key;
        else
            writable.append(entry);
    }
    if (writable.isEmpty())
        return false;

    QMutexLocker lock(&mutex());
    DecodedText text;
    const LoadResult loaded = loadText(path, text);
    if (loaded == LoadResult::Failed)
        return false;
    if (loaded == LoadResult::Missing)
        text.encoding = Encoding::Utf8;

    const QString eol = text.text.contains(u"\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QStringList lines;
    for (QStringView line : splitLines(text.text))
        lines.append(line.toString());
    for (const Entry& entry : writable)
        setEntry(lines, section.trimmed(), entry.key.trimmed(), entry.value);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        qCWarning(lcProfile) << "cannot write profile file" << path << out.errorString();
        return false;
    }
    const QByteArray bytes = encode(lines.join(eol) + eol, text.encoding);
    if (out.write(bytes) != bytes.size() || !out.commit()) {
        qCWarning(lcProfile) << "cannot write profile file" << path << out.errorString();
        return false;
    }
    cache().remove(path);
    return writable.size() == entries.size();
}

bool ProfileFile::writeInt(const QString& path, const QString& section, const QString& key,
                           int value)
{
    return writeString(path, section, key, QString::number(value));
}

void ProfileFile::clearCache()
{
    QMutexLocker lock(&mutex());
    cache().clear();
}
