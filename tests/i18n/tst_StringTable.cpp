#include "i18n/StringTable.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray fixture = R"([LANGUAGE]
0x0409=EN
0x0404=ZH-TW
0x040d=HE
0x0407=
he=1

[T_PLAIN]
EN=English
ZH=Chinese

[T_EMPTY_ZH]
EN=English only
ZH=

[T_MISSING_ZH]
EN=English only

[T_NO_EN]
ZH=Chinese only
)";

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QList<TextArg> toArgs(const QVariantList& values)
{
    QList<TextArg> args;
    for (const QVariant& v : values) {
        if (v.typeId() == QMetaType::QString)
            args.append(TextArg(v.toString()));
        else if (v.typeId() == QMetaType::Double)
            args.append(TextArg(v.toDouble()));
        else
            args.append(TextArg(v.toLongLong()));
    }
    return args;
}

// Every key the program looks up.
QStringList programKeys()
{
    QStringList keys = {
        "TAV_IDS_CONTROLLER", "TAV_IDS_DEFAULT", "TAV_IDS_DOOR", "TAV_IDS_INPUT", "TAV_IDS_NA",
        "TAV_IDD_ADDHOST_DLG", "TAV_IDD_EDITHOST_DLG", "TAV_IDS_CONFIRM_HOST_DELETE_MSG",
        "TAV_IDS_CONFIRM_HOST_DELETE_TITLE", "TAV_ID_DEVICE_RECONNECT", "TAV_ID_DEVICE_REMOVE_HOST",
        "TAV_IDD_OPTIONS_DLG", "TAV_IDS_APP_NAME", "TAV_IDS_INTERCOM", "TAV_IDS_MIC",
        "TAV_IDS_PROCESSED", "TAV_IDS_SPEAKER", "TAV_IDS_STOP_RING", "TAV_IDS_UNLOCK",
        "TAV_ID_APP_ABOUT", "TAV_IDS_CAMERA", "TAV_IDS_LPR", "TAV_IDS_DEVICE", "TAV_IDS_LOCAL_TIME",
        "TAV_IDS_MESSAGE", "TAV_IDC_ADDRESS_LABEL", "TAV_IDC_HOSTNAME_LABEL",
        "TAV_IDC_PASSWORD_LABEL", "TAV_IDC_PORT_LABEL", "TAV_IDC_USERNAME_LABEL",
        "TAV_IDD_ABOUT_DLG", "TAV_IDS_CANCEL", "TAV_IDS_OK", "TAV_IDS_PARSE_INT_RANGE",
        "TAV_IDC_CHECK_AUTO_POPUP", "TAV_IDC_CHECK_INVOKE_ALARM", "TAV_IDS_DURATION",
        "TAV_IDS_USER_DEFINE", "TAV_IDS_AUDIO_BUSY", "TAV_IDS_AUDIO_CODEC_NOT_SUPPORTED",
        "TAV_IDS_CONNECTED", "TAV_IDS_CONNECTING", "TAV_IDS_DISCONNECTED", "TAV_ID_APP_EXIT",
        // hosts that are down, warnings in the title and the tray tip
        "TAV_IDS_APP_NAME_WARNING", "TAV_IDS_ALARM_SILENT", "TAV_IDS_SNAPSHOTS_FULL",
        "TAV_IDS_HOST_DOWN_LABEL", "TAV_IDS_HOST_DOWN_LINE", "TAV_IDS_HOST_DOWN_MORE",
        "TAV_IDS_HOST_NOT_CONNECTED_YET", "TAV_IDS_HOST_REFUSED", "TAV_IDS_HOST_NO_ANSWER",
        "TAV_IDS_HOST_NAME_NOT_FOUND", "TAV_IDS_HOST_NETWORK_ERROR", "TAV_IDS_HOST_LOGIN_REFUSED",
        "TAV_IDS_HOST_KEEPALIVE_LOST", "TAV_IDS_HOST_CONNECTION_LOST",
        "TAV_IDS_HOST_LAST_CONNECTED", "TAV_IDS_HOST_NEVER_CONNECTED"};
    const int eventIds[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x07, 0x08, 0x0A, 0x10, 0x11, 0x12, 0x13,
                            0x14, 0x15, 0x17, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21,
                            0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x30, 0x40,
                            0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x48, 0x4A, 0x50, 0x51, 0x52, 0x53,
                            0x54, 0x55, 0x56, 0x57, 0x58, 0x60, 0x61, 0x70, 0x71, 0x80, 0x81, 0x82,
                            0x83, 0x84, 0x85, 0x86, 0x88, 0x8A, 0x90, 0xC3, 0xC4};
    for (int id : eventIds)
        keys.append(QString::asprintf("TAV_IDS_EVENT_MSG_%02X", id));
    return keys;
}

QString shippedTable()
{
    return ProgramPaths::resourceFile("KRNotify.StringTable");
}

} // namespace

class TextItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text MEMBER text)
public:
    QString text;
};

class TitleItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title MEMBER title)
public:
    QString title;
};

class TestStringTable : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_fixture;

private Q_SLOTS:
    void initTestCase()
    {
        m_fixture = m_dir.filePath("KRNotify.StringTable");
        writeFile(m_fixture, fixture);
    }

    void languageChoice_data()
    {
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("rightToLeft");
        QTest::newRow("first two characters of ZH-TW") << 0x0404 << "ZH" << 0;
        QTest::newRow("right to left, flag key in any case") << 0x040d << "HE" << 1;
        QTest::newRow("no entry") << 0x0411 << "EN" << 0;
        QTest::newRow("entry written empty") << 0x0407 << "EN" << 0;
    }
    void languageChoice()
    {
        QFETCH(int, languageId);
        QFETCH(QString, code);
        QFETCH(int, rightToLeft);
        const CStringTable table(m_fixture, quint16(languageId));
        QCOMPARE(table.LanguageCode(), code);
        QCOMPARE(table.RightToLeft(), rightToLeft);
    }

    void lookupFallsBackToEnglish_data()
    {
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chosen language") << 0x0404 << "T_PLAIN"
                                         << "Chinese";
        QTest::newRow("key in any case") << 0x0404 << "t_plain"
                                         << "Chinese";
        QTest::newRow("empty in chosen language") << 0x0404 << "T_EMPTY_ZH"
                                                  << "English only";
        QTest::newRow("missing in chosen language") << 0x0404 << "T_MISSING_ZH"
                                                    << "English only";
        QTest::newRow("no English needed") << 0x0404 << "T_NO_EN"
                                           << "Chinese only";
        QTest::newRow("no English text") << 0x0409 << "T_NO_EN"
                                         << "";
        QTest::newRow("unknown key") << 0x0409 << "T_NONE"
                                     << "";
    }
    void lookupFallsBackToEnglish()
    {
        QFETCH(int, languageId);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(CStringTable(m_fixture, quint16(languageId)).GetText(key), expected);
    }

    void escapesAndFormatting_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("expected");

        QTest::newRow("new line") << QByteArray("one\\ntwo") << QVariantList() << "one\ntwo";
        QTest::newRow("tab and carriage return")
            << QByteArray("a\\tb\\rc") << QVariantList() << "a\tb\rc";
        QTest::newRow("doubled backslash") << QByteArray("a\\\\b") << QVariantList() << "a\\b";
        QTest::newRow("doubled backslash before n still breaks the line")
            << QByteArray("a\\\\nb") << QVariantList() << "a\nb";
        QTest::newRow("percent sign without arguments")
            << QByteArray("100%% done") << QVariantList() << "100% done";
        QTest::newRow("port range")
            << QByteArray("Enter a port number from %d to %d.") << QVariantList{1, 65535}
            << "Enter a port number from 1 to 65535.";
        QTest::newRow("text argument")
            << QByteArray("Remove \"%s\"?") << QVariantList{"Gate"} << "Remove \"Gate\"?";
        QTest::newRow("flags, width, precision")
            << QByteArray("[%5d|%-4s|%05.1f|%x|%c|%.2s|%+i]")
            << QVariantList{42, "ab", 3.14159, -1, 65, "xyz", 7}
            << "[   42|ab  |003.1|ffffffff|A|xy|+7]";
        QTest::newRow("length modifiers")
            << QByteArray("%lld %hd %I64u") << QVariantList{qlonglong(1) << 40, 70000, -1}
            << "1099511627776 4464 18446744073709551615";
        QTest::newRow("surplus arguments ignored")
            << QByteArray("plain") << QVariantList{5} << "plain";
        // Texts that do not match their arguments are shown as read (after the escapes).
        QTest::newRow("integer given a text")
            << QByteArray("a\\n%d") << QVariantList{"x"} << "a\n%d";
        QTest::newRow("real given an integer") << QByteArray("%f") << QVariantList{7} << "%f";
        QTest::newRow("too few arguments")
            << QByteArray("%d of %d") << QVariantList{1} << "%d of %d";
        QTest::newRow("no argument for text") << QByteArray("%s") << QVariantList() << "%s";
        QTest::newRow("%n refused") << QByteArray("x%n") << QVariantList{1} << "x%n";
        QTest::newRow("star width refused") << QByteArray("%*d") << QVariantList{3, 1} << "%*d";
        QTest::newRow("huge width refused")
            << QByteArray("%999999999d") << QVariantList{1} << "%999999999d";
        QTest::newRow("huge precision refused")
            << QByteArray("%.99999f") << QVariantList{1.0} << "%.99999f";
        QTest::newRow("lone percent at the end") << QByteArray("50%") << QVariantList() << "50%";
        QTest::newRow("unknown conversion") << QByteArray("%q %d") << QVariantList{1} << "%q %d";
    }
    void escapesAndFormatting()
    {
        QFETCH(QByteArray, value);
        QFETCH(QVariantList, args);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.StringTable");
        writeFile(path, "[K]\nEN=" + value + "\n");
        QCOMPARE(CStringTable(path, 0x0409).GetText("K", toArgs(args)), expected);
    }

    void missingFileGivesEmptyTexts()
    {
        const CStringTable table(m_dir.filePath("none/KRNotify.StringTable"), 0x040d);
        QCOMPARE(table.LanguageCode(), "EN");
        QCOMPARE(table.RightToLeft(), 0);
        QCOMPARE(table.GetText("TAV_IDS_CONNECTED"), "");
        QCOMPARE(table.GetText("TAV_IDS_PARSE_INT_RANGE", {1, 65535}), "");
    }

    void editedTextSeenAtNextLookup()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.StringTable");
        writeFile(path, "[LANGUAGE]\n0x0404=TW\n[K]\nTW=one\n");
        const CStringTable table(path, 0x0404);
        QCOMPARE(table.GetText("K"), "one");
        writeFile(path, "[LANGUAGE]\n0x0404=HE\n[K]\nTW=two\n");
        QCOMPARE(table.GetText("K"), "two");
        QCOMPARE(table.LanguageCode(), "TW"); // the language stays as chosen at creation
    }

    void setItemText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.StringTable");
        writeFile(path, "[K]\nEN=Port %d\n");
        const CStringTable table(path, 0x0409);
        TextItem label;
        table.SetItemText(&label, "K", {9987});
        QCOMPARE(label.text, "Port 9987");
        TitleItem group;
        table.SetItemText(&group, "K", {1});
        QCOMPARE(group.title, "Port 1");
        QObject plain;
        table.SetItemText(&plain, "K", {1});
        QVERIFY(!plain.property("text").isValid());
        table.SetItemText(nullptr, "K", {1});
    }

    void languageIdForLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("languageId");
        QTest::newRow("en_US") << "en_US" << 0x0409;
        QTest::newRow("zh_TW") << "zh_TW" << 0x0404;
        QTest::newRow("zh_CN") << "zh_CN" << 0x0804;
        QTest::newRow("zh_HK") << "zh_HK" << 0x0c04;
        QTest::newRow("he_IL") << "he_IL" << 0x040d;
        QTest::newRow("ar_SA") << "ar_SA" << 0x0401;
        QTest::newRow("de_DE") << "de_DE" << 0x0407;
        QTest::newRow("de_AT") << "de_AT" << 0x0c07;
        QTest::newRow("language default for another country") << "de_LU" << 0x0407;
        QTest::newRow("codeset and modifier ignored") << "zh_TW.UTF-8" << 0x0404;
        QTest::newRow("dash form") << "es-ES" << 0x0c0a;
        QTest::newRow("ja_JP") << "ja_JP" << 0x0411;
        QTest::newRow("C locale") << "C" << 0x0409;
        QTest::newRow("garbage") << "%%%" << 0x0409;
    }
    void languageIdForLocale()
    {
        QFETCH(QString, locale);
        QFETCH(int, languageId);
        QCOMPARE(int(CStringTable::languageIdForLocale(locale)), languageId);
    }

    void instanceUsesShippedTableAndLanguageOverride()
    {
        qputenv("KRNOTIFY_LANGID", "0x040d");
        CStringTable::Install(nullptr);
        const CStringTable& table = CStringTable::Instance();
        qunsetenv("KRNOTIFY_LANGID");
        QCOMPARE(table.filePath(), shippedTable());
        QCOMPARE(table.LanguageCode(), "HE");
        QCOMPARE(table.RightToLeft(), 1);
        QVERIFY(!table.GetText("TAV_IDS_OK").isEmpty());

        CStringTable::Install(std::make_unique<CStringTable>(m_fixture, 0x0404));
        QCOMPARE(CStringTable::Instance().GetText("T_PLAIN"), "Chinese");
        CStringTable::Install(nullptr);
    }

    // The shipped file: every key has an English text, and in every shipped language every
    // text formats with the arguments its caller passes.
    void shippedTableIsComplete_data()
    {
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("code");
        QTest::newRow("EN") << 0x0409 << "EN";
        QTest::newRow("TW") << 0x0404 << "TW";
        QTest::newRow("HE") << 0x040d << "HE";
    }
    void shippedTableIsComplete()
    {
        QFETCH(int, languageId);
        QFETCH(QString, code);
        const QString path = shippedTable();
        const CStringTable table(path, quint16(languageId));
        QCOMPARE(table.LanguageCode(), code);
        const QStringList keys = programKeys();
        QCOMPARE(keys.size(), 113 + 16);
        for (const QString& key : keys) {
            QVERIFY2(!ProfileFile::readString(path, key, code, QString()).isEmpty(),
                     qPrintable(code + " text missing: " + key));
            QList<TextArg> args;
            if (key == "TAV_IDS_PARSE_INT_RANGE")
                args = {1, 65535};
            else if (key == "TAV_IDS_CONFIRM_HOST_DELETE_MSG" ||
                     key == "TAV_IDS_HOST_LAST_CONNECTED")
                args = {"Gate 7"};
            else if (key == "TAV_IDS_APP_NAME_WARNING" || key == "TAV_IDS_HOST_DOWN_LABEL")
                args = {"KRNotify", "Gate 7"};
            else if (key == "TAV_IDS_HOST_DOWN_LINE")
                args = {"Demo", "refused", "Gate 7"};
            else if (key == "TAV_IDS_HOST_DOWN_MORE")
                args = {65535};
            const QString text = table.GetText(key, args);
            QVERIFY2(!text.contains(u'%'), qPrintable(key + ": " + text));
            if (!args.isEmpty())
                QVERIFY2(
                    text.contains(args.last().kind() == TextArg::Kind::Text ? "Gate 7" : "65535"),
                    qPrintable(key + ": " + text));
        }
    }
};

QTEST_GUILESS_MAIN(TestStringTable)
#include "tst_StringTable.moc"
