#include "PlatformTests.h"

#include "platform/ProfileFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray utf16(const QString& text, QStringConverter::Encoding enc)
{
    QStringEncoder encoder(enc, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

const QString longValue(2000, u'x');

} // namespace

void TestProfileFile::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QString>("expected");

    const QByteArray general = "[General]\r\nAutoPopup=1\r\nWaveFile=/snd/a.wav\r\n";
    QTest::newRow("exact") << general << "General"
                           << "AutoPopup" << 1024 << "1";
    QTest::newRow("names ignore case") << general << "gENERAL"
                                       << "autopopup" << 1024 << "1";
    QTest::newRow("missing section") << general << "Other"
                                     << "AutoPopup" << 1024 << "def";
    QTest::newRow("missing key, default loses trailing blanks") << general << "General"
                                                                << "Duration" << 1024 << "def";
    QTest::newRow("blanks around key and value") << QByteArray("  [ S ]  \n  k  =  a b  \n") << "S"
                                                 << "k" << 1024 << "a b";
    QTest::newRow("double quotes removed") << QByteArray("[S]\nk=\"  padded  \"\n") << "S"
                                           << "k" << 1024 << "  padded  ";
    QTest::newRow("single quotes removed") << QByteArray("[S]\nk='q'\n") << "S"
                                           << "k" << 1024 << "q";
    QTest::newRow("unpaired quote kept") << QByteArray("[S]\nk=\"q\n") << "S"
                                         << "k" << 1024 << "\"q";
    QTest::newRow("first section and key win")
        << QByteArray("[S]\nk=1\nK=2\n[s]\nk=3\nj=4\n") << "S"
        << "k" << 1024 << "1";
    QTest::newRow("key of a repeated section is not seen")
        << QByteArray("[S]\nk=1\n[s]\nj=4\n") << "S"
        << "j" << 1024 << "def";
    QTest::newRow("comment is no key") << QByteArray("[S]\n;k=1\n") << "S"
                                       << ";k" << 1024 << "def";
    QTest::newRow("value keeps later equals signs") << QByteArray("[S]\nk=a=b\n") << "S"
                                                    << "k" << 1024 << "a=b";
    QTest::newRow("lines before any section ignored") << QByteArray("k=0\n[S]\nk=1") << "S"
                                                      << "k" << 1024 << "1";
    QTest::newRow("CR line ends, no final newline") << QByteArray("[S]\rk=1\rj=2") << "S"
                                                    << "j" << 1024 << "2";
    QTest::newRow("text cut to 1023") << "[S]\nk=" + longValue.toLatin1() << "S"
                                      << "k" << 1024 << longValue.left(1023);
    QTest::newRow("language cut to 259") << "[S]\nk=" + longValue.toLatin1() << "S"
                                         << "k" << 260 << longValue.left(259);
    QTest::newRow("default cut too") << QByteArray() << "S"
                                     << "k" << 3 << "de";
    QTest::newRow("zero buffer") << general << "General"
                                 << "AutoPopup" << 0 << "";
    QTest::newRow("value ends at NUL") << QByteArray("[S]\nk=ab\0cd\n", 12) << "S"
                                       << "k" << 1024 << "ab";
}

void TestProfileFile::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(int, buffer);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    if (!content.isEmpty())
        writeBytes(path, content);
    QCOMPARE(ProfileFile::readString(path, section, key, "def  ", buffer), expected);
}

void TestProfileFile::encodings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QString text = QStringLiteral("[Sec]\r\nName=Grüße 門禁 ✓\r\n");
    const QString value = QStringLiteral("Grüße 門禁 ✓");
    QTest::newRow("UTF-16 LE with BOM")
        << "\xFF\xFE" + utf16(text, QStringConverter::Utf16LE) << value;
    QTest::newRow("UTF-16 BE with BOM")
        << "\xFE\xFF" + utf16(text, QStringConverter::Utf16BE) << value;
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + text.toUtf8() << value;
    QTest::newRow("UTF-8 without BOM") << text.toUtf8() << value;
    QTest::newRow("8-bit Latin-1") << QByteArray("[Sec]\nName=Gr\xFC\xDF"
                                                 "e\n")
                                   << "Grüße";
}

void TestProfileFile::encodings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, content);
    QCOMPARE(ProfileFile::readString(path, "SEC", "name", QString()), expected);
}

void TestProfileFile::readInt_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    QTest::newRow("plain") << QByteArray("v=42") << 42;
    QTest::newRow("leading zeros are decimal") << QByteArray("v=007") << 7;
    QTest::newRow("stops at first non-digit") << QByteArray("v= 12abc") << 12;
    QTest::newRow("plus") << QByteArray("v=+7") << 7;
    QTest::newRow("minus") << QByteArray("v=-5") << -5;
    QTest::newRow("hex") << QByteArray("v=0x1F") << 31;
    QTest::newRow("hex upper prefix") << QByteArray("v=0XfF") << 255;
    QTest::newRow("octal prefix") << QByteArray("v=0o17") << 15;
    QTest::newRow("binary prefix, stops at a non-binary digit") << QByteArray("v=0b1012") << 5;
    QTest::newRow("negative hex") << QByteArray("v=-0x10") << -16;
    QTest::newRow("no digits") << QByteArray("v=abc") << 0;
    QTest::newRow("sign only") << QByteArray("v=-") << 0;
    QTest::newRow("hex prefix only") << QByteArray("v=0x") << 0;
    QTest::newRow("wraps at 32 bits") << QByteArray("v=4294967295") << -1;
    QTest::newRow("empty value is the default") << QByteArray("v=") << -77;
    QTest::newRow("absent is the default") << QByteArray("w=1") << -77;
}

void TestProfileFile::readInt()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, "[USE_PROFILE]\n" + line + "\n");
    QCOMPARE(ProfileFile::readInt(path, "use_profile", "V", -77), expected);
}

void TestProfileFile::writeString_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << "General"
                              << "Duration" << QByteArray("[General]\nDuration=5\n");
    QTest::newRow("replace keeps spelling, comments and other sections")
        << QByteArray("; options\n[A]\nx=1\n[general]\n; note\nDURATION = 30\nz=2\n[B]\ny=3\n")
        << "General"
        << "duration"
        << QByteArray("; options\n[A]\nx=1\n[general]\n; note\nDURATION=5\nz=2\n[B]\ny=3\n");
    QTest::newRow("new key goes to the end of its section, before blank lines")
        << QByteArray("[General]\nx=1\n\n[B]\ny=3\n") << "General"
        << "Duration" << QByteArray("[General]\nx=1\nDuration=5\n\n[B]\ny=3\n");
    QTest::newRow("new section appended, CRLF kept")
        << QByteArray("[A]\r\nx=1") << "General"
        << "Duration" << QByteArray("[A]\r\nx=1\r\n\r\n[General]\r\nDuration=5\r\n");
}

void TestProfileFile::writeString()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("KRNotify.ini");
    if (!before.isEmpty())
        writeBytes(path, before);
    QVERIFY(ProfileFile::writeInt(path, section, key, 5));
    QCOMPARE(readBytes(path), after);
    QCOMPARE(ProfileFile::readInt(path, section, key, -1), 5);
}

void TestProfileFile::writeKeepsEncoding_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("UTF-16 LE") << "\xFF\xFE" + utf16("[S]\r\nk=1\r\n", QStringConverter::Utf16LE)
                               << "門"
                               << "\xFF\xFE" + utf16("[S]\r\nk=門\r\n", QStringConverter::Utf16LE);
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\nk=1\n") << "門"
                               << "\xEF\xBB\xBF" + QString("[S]\nk=門\n").toUtf8();
    QTest::newRow("Latin-1 stays 8-bit")
        << QByteArray("[S]\nn=\xFC\nk=1\n") << "é" << QByteArray("[S]\nn=\xFC\nk=\xE9\n");
    QTest::newRow("Latin-1 becomes UTF-8 rather than lose a character")
        << QByteArray("[S]\nn=\xFC\nk=1\n") << "門" << QString("[S]\nn=ü\nk=門\n").toUtf8();
}

void TestProfileFile::writeKeepsEncoding()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, before);
    QVERIFY(ProfileFile::writeString(path, "S", "k", value));
    QCOMPARE(readBytes(path), after);
    QCOMPARE(ProfileFile::readString(path, "S", "k", QString()), value);
}

void TestProfileFile::writeRoundTripsAwkwardValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("surrounding blanks") << "  a b  ";
    QTest::newRow("quoted") << "\"quoted\"";
    QTest::newRow("single-quoted") << "'x'";
    QTest::newRow("equals and brackets") << "[a]=b;c";
}

void TestProfileFile::writeRoundTripsAwkwardValues()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(ProfileFile::writeString(path, "S", "k", value));
    QCOMPARE(ProfileFile::readString(path, "S", "k", "def"), value);
}

void TestProfileFile::writeRefusesWithoutDamage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    const QByteArray original("[S]\nk=1\n");
    writeBytes(path, original);
    // A line break or a NUL would end the line (or the reader's text) early.
    const QString nul(QChar(0));
    for (const QString& breaker : {QStringLiteral("\n"), QStringLiteral("\r"), nul}) {
        QVERIFY(!ProfileFile::writeString(path, "S", "k", "two" + breaker + "lines"));
        QVERIFY(!ProfileFile::writeString(path, "S", "k" + breaker + "x", "1"));
        QVERIFY(!ProfileFile::writeString(path, "S" + breaker + "T", "k", "1"));
    }
    QVERIFY(!ProfileFile::writeString(path, "S", "a=b", "1"));
    QVERIFY(!ProfileFile::writeString(path, "S]", "k", "1"));
    QVERIFY(!ProfileFile::writeString(path, "", "k", "1"));
    QCOMPARE(readBytes(path), original);
    QVERIFY(!ProfileFile::writeString(dir.filePath("missing/t.ini"), "S", "k", "1"));

    // A file too large to read is never replaced by a nearly empty one.
    const QString big = dir.filePath("big.ini");
    writeBytes(big, "[S]\nk=0\n");
    QVERIFY(QFile::resize(big, ProfileFile::MaxFileBytes + 1));
    QVERIFY(!ProfileFile::writeString(big, "S", "k", "1"));
    QCOMPARE(QFileInfo(big).size(), ProfileFile::MaxFileBytes + 1);
}

// Several keys in one replacement; a key that would break the file is refused, the others are
// written all the same.
void TestProfileFile::writeSeveralKeysAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, "[S]\nb=old\n[T]\nx=1\n");
    QVERIFY(ProfileFile::writeStrings(path, "S", {{"a", "1"}, {"B", "2"}, {"c", " 3 "}}));
    QCOMPARE(readBytes(path), QByteArray("[S]\nb=2\na=1\nc=\" 3 \"\n[T]\nx=1\n"));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to write"));
    QVERIFY(!ProfileFile::writeStrings(path, "S", {{"a", "one\ntwo"}, {"c", "4"}}));
    QCOMPARE(ProfileFile::readString(path, "S", "a", QString()), "1");
    QCOMPARE(ProfileFile::readString(path, "S", "c", QString()), "4");
}

void TestProfileFile::malformedFilesReadSafely_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qint64>("growTo"); // sparse growth keeps a huge file quick to make

    QByteArray junk(1 << 20, '\0');
    QRandomGenerator random(7);
    for (char& c : junk)
        c = char(random.bounded(256));
    QTest::newRow("binary junk") << junk << "def" << qint64(0);
    QTest::newRow("junk then a section") << junk + "\n[S]\nk=ok\n"
                                         << "ok" << qint64(0);
    QTest::newRow("10 MB line") << "[S]\nk=" + QByteArray(10 << 20, 'v') << QString(1023, u'v')
                                << qint64(0);
    QTest::newRow("10 MB header line") << "[" + QByteArray(10 << 20, 's') + "\nk=1\n"
                                       << "def" << qint64(0);
    QTest::newRow("UTF-16 BOM only") << QByteArray("\xFF\xFE") << "def" << qint64(0);
    QTest::newRow("UTF-8 BOM only") << QByteArray("\xEF\xBB\xBF") << "def" << qint64(0);
    QTest::newRow("odd UTF-16 length")
        << "\xFF\xFE" + utf16("[S]\nk=ok", QStringConverter::Utf16LE) + "\x01"
        << "ok" << qint64(0);
    QTest::newRow("NUL bytes everywhere")
        << QByteArray("[S\0]\n\0k=1\n[S]\nk=ok", 18) << "ok" << qint64(0);
    // The cap: two files that differ only in their size.
    QTest::newRow("as large as the cap is read")
        << QByteArray("[S]\nk=1\n") << "1" << qint64(ProfileFile::MaxFileBytes);
    QTest::newRow("larger than the cap reads as missing")
        << QByteArray("[S]\nk=1\n") << "def" << qint64(ProfileFile::MaxFileBytes + 1);
}

void TestProfileFile::malformedFilesReadSafely()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QFETCH(qint64, growTo);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, content);
    if (growTo > 0)
        QVERIFY(QFile::resize(path, growTo));
    QCOMPARE(ProfileFile::readString(path, "S", "k", "def"), expected);
    QCOMPARE(ProfileFile::readInt(path, "S", "none", 9), 9);
}

void TestProfileFile::editedFileSeenAtNextLookup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    writeBytes(path, "[S]\nk=one\n");
    QCOMPARE(ProfileFile::readString(path, "S", "k", QString()), "one");
    writeBytes(path, "[S]\nk=two\n"); // same size, rewritten in place
    QCOMPARE(ProfileFile::readString(path, "S", "k", QString()), "two");
    QVERIFY(QFile::remove(path));
    QCOMPARE(ProfileFile::readString(path, "S", "k", "gone"), "gone");
}

void TestProfileFile::concurrentReadersAndWriter()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    QVERIFY(ProfileFile::writeInt(path, "S", "k", 0));
    std::atomic<bool> bad{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (ProfileFile::readInt(path, "S", "k", -1) < 0)
                    bad = true;
            }
        });
    }
    for (int i = 1; i <= 40; ++i)
        QVERIFY(ProfileFile::writeInt(path, "S", "k", i));
    for (std::thread& reader : readers)
        reader.join();
    QVERIFY(!bad);
    QCOMPARE(ProfileFile::readInt(path, "S", "k", -1), 40);
}
