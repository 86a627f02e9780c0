#pragma once

#include <QList>
#include <QString>

// Reads and writes private-profile (ini) files with the Windows profile rules the program's
// files were written for:
//  - section and key names compare without regard to case; the first match wins;
//  - keys and values are trimmed of surrounding white space; a value enclosed in a matching
//    pair of double or single quotes loses the pair;
//  - a missing file, section or key reads as the caller's default; a value is cut to
//    bufferChars - 1 characters (the reading buffer holds the terminator);
//  - UTF-16 (LE or BE) and UTF-8 files with a byte-order mark, and 8-bit files (UTF-8 when
//    the bytes are valid UTF-8, otherwise Latin-1) are understood.
//
// Parsed files are cached by path, modification time and size, so repeated lookups are cheap
// while an edited file is seen at its next lookup. Every function is thread-safe.
class ProfileFile
{
public:
    // Files above this size are treated as missing (and logged): a profile file is a few KiB.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

    static QString readString(const QString& path, const QString& section, const QString& key,
                              const QString& defaultValue, int bufferChars = 1024);

    // The integer value of the key, as GetPrivateProfileInt gives it: leading white space, an
    // optional sign, then decimal digits, or hexadecimal, octal or binary digits after "0x",
    // "0o" or "0b"; parsing stops at the first other character. A value without digits is 0; a
    // missing (or empty) value is defaultValue. Negative values are returned as such.
    static int readInt(const QString& path, const QString& section, const QString& key,
                       int defaultValue);

    // Sets key=value in section, creating the file and the section when missing. Every other
    // line, the comments, the encoding and the line endings of the file are kept. The file is
    // replaced atomically. Returns false (and leaves the file untouched) when the file cannot
    // be read or written, or when a name or value would break the file's structure (line
    // breaks, NUL, '=' in a key, ']' in a section name).
    static bool writeString(const QString& path, const QString& section, const QString& key,
                            const QString& value);
    // Sets several keys of one section in one replacement of the file, so a reader, or a crash
    // during the save, sees all of them or none. An entry that would break the file is refused
    // (and logged) and the others are still written; false when any entry was refused or the
    // file could not be written.
    struct Entry
    {
        QString key;
        QString value;
    };
    static bool writeStrings(const QString& path, const QString& section,
                             const QList<Entry>& entries);
    static bool writeInt(const QString& path, const QString& section, const QString& key,
                         int value);

    // Drops every cached file (tests, or after writing a file by other means).
    static void clearCache();
};
