#include "CoreFixture.h"
#include "connection/HostListFile.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::vector<HostListEntry> SampleEntries()
{
    return {
        {2, QStringLiteral("Lobby \u00e9\u6771"), QStringLiteral("admin"),
         QStringLiteral("s3cr\u00e9t"), QStringLiteral("10.0.0.2"), 9987},
        {5, QString(), QString(), QString(), QString(), -1},
    };
}

QByteArray Int64(qint64 v)
{
    QByteArray b(8, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

std::vector<HostListEntry> ReadBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return HostListFile::Read(buffer);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestHostListFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layoutIsLittleEndianUtf16WithTerminators()
    {
        const QByteArray bytes = HostListFile::Serialize({{7, "A", "", "p", "h", 80}});
        const QByteArray expected = Int64(1) + Int64(1) + Int64(7) + QByteArray("A\0\0\0", 4) +
                                    QByteArray("\0\0", 2) + QByteArray("p\0\0\0", 4) +
                                    QByteArray("h\0\0\0", 4) + Int64(80);
        QCOMPARE(bytes, expected);
    }

    void roundTripKeepsEveryField()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("KRNotifyHosts");
        QVERIFY(HostListFile::Save(path, SampleEntries()));
        QVERIFY(HostListFile::Load(path) == SampleEntries());
    }

    // Every cut of a valid file loads exactly the records it holds whole, never more.
    void truncatedFileKeepsCompleteRecords()
    {
        const QByteArray full = HostListFile::Serialize(SampleEntries());
        const int firstRecordEnd = full.size() - (8 + 4 * 2 + 8); // second record: all empty
        for (int length = 0; length < full.size(); ++length) {
            const auto entries = ReadBytes(full.left(length));
            const size_t expected = length >= firstRecordEnd ? 1 : 0;
            QCOMPARE(entries.size(), expected);
            if (expected)
                QVERIFY(entries.front() == SampleEntries().front());
        }
    }

    void countIsReadFromItsLow32Bits_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<int>("expected");
        QTest::newRow("2^40 + 2: two records") << (qint64(1) << 40) + 2 << 2;
        QTest::newRow("2^40: none") << (qint64(1) << 40) << 0;
        QTest::newRow("2^31 - 1 announced, two present") << qint64(0x7fffffff) << 2;
        QTest::newRow("negative") << qint64(-1) << 0;
        QTest::newRow("fewer than present") << qint64(1) << 1;
    }
    void countIsReadFromItsLow32Bits()
    {
        QFETCH(qint64, count);
        QFETCH(int, expected);
        QByteArray bytes = HostListFile::Serialize(SampleEntries());
        bytes.replace(8, 8, Int64(count));
        QCOMPARE(int(ReadBytes(bytes).size()), expected);
    }

    void savedFileIsPrivate()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("KRNotifyHosts");
        QVERIFY(WriteFile(path, "old"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
        QVERIFY(HostListFile::Save(path, SampleEntries()));
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    // A write that fails half-way (here: the file-size limit, as with a full disk) leaves the
    // previous list as it was and no temporary file behind.
    void failedSaveKeepsPreviousList()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("KRNotifyHosts");
        const std::vector<HostListEntry> old{{1, "old", "u", "p", "a", 1}};
        QVERIFY(HostListFile::Save(path, old));
        const QByteArray before = HostListFile::Serialize(old);

        std::vector<HostListEntry> big;
        for (int i = 0; i < 100; ++i)
            big.push_back({i, QString(200, QLatin1Char('n')), "u", "p", "a", 1});
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool saved = HostListFile::Save(path, big);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"KRNotifyHosts"});
    }

    // A host's name with a NUL inside: the text is cut where the host's C string ends, so the
    // next start reads back every host with its own fields.
    void hostTextWithNulCannotCorruptTheList()
    {
        CoreFixture core;
        CKRHost& host = core.connectedHost(1);
        host.userName = "u1";
        host.password = "p1";
        host.port = 11;
        CKRHost& other = core.addHost(2, "10.0.0.2");
        other.name = "Other";
        other.password = "p2";
        core.control.receive("HOST_PARAM", host.connectionId,
                             {{"H_NAME", QString(QStringLiteral("Lobby") + QChar(0) + "junk")}});
        QCOMPARE(host.name, QStringLiteral("Lobby"));
        QVERIFY(core.manager.SaveHostList());
        const std::vector<HostListEntry> expected{{1, "Lobby", "u1", "p1", "10.0.0.1", 11},
                                                  {2, "Other", "", "p2", "10.0.0.2", 9987}};
        QVERIFY(HostListFile::Load(core.manager.hostListPath()) == expected);
    }

    // Whichever text holds a NUL, the writer refuses and the previous list stays.
    void saveRefusesTextItCannotReadBack_data()
    {
        QTest::addColumn<int>("field");
        const char* names[] = {"name", "user name", "password", "address"};
        for (int i = 0; i < 4; ++i)
            QTest::newRow(names[i]) << i;
    }
    void saveRefusesTextItCannotReadBack()
    {
        QFETCH(int, field);
        QTemporaryDir dir;
        const QString path = dir.filePath("KRNotifyHosts");
        QVERIFY(HostListFile::Save(path, SampleEntries()));
        std::vector<HostListEntry> entries = SampleEntries();
        QString* texts[] = {&entries[0].name, &entries[0].userName, &entries[0].password,
                            &entries[0].address};
        texts[field]->insert(1, QChar(0));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("host list not saved"));
        QVERIFY(!HostListFile::Save(path, entries));
        QVERIFY(HostListFile::Load(path) == SampleEntries());
    }

    void loadingGivesNextIdAfterHighest()
    {
        CoreFixture first;
        first.addHost(2);
        first.addHost(5);
        QVERIFY(first.manager.SaveHostList());

        CoreFixture second;
        second.manager.setHostListPath(first.manager.hostListPath());
        second.manager.LoadHostList();
        QCOMPARE(second.manager.hosts().size(), 2);
        CKRHost* added = second.manager.ApplyHostSettings(nullptr, {"new", "h", "u", "p", 1});
        QVERIFY(added);
        QCOMPARE(added->hostId, 6);
    }

    void duplicateAndNegativeIdsOnLoad()
    {
        CoreFixture core;
        QVERIFY(
            HostListFile::Save(core.manager.hostListPath(), {{3, "first", "u1", "p1", "a1", 1},
                                                             {-4, "negative", "", "", "", 1},
                                                             {3, "later", "u2", "p2", "a2", 2}}));
        core.manager.LoadHostList();
        QCOMPARE(core.manager.hosts().size(), 1);
        CKRHost* host = core.manager.FindHostById(3);
        QVERIFY(host);
        QCOMPARE(host->name, QStringLiteral("later"));
        QCOMPARE(host->address, QStringLiteral("a2"));
        QCOMPARE(host->port, 2);
        QCOMPARE(core.views.calls("UpdateHostNode"), QStringList{"UpdateHostNode 3"});
    }

    void missingFileGivesNoHosts()
    {
        CoreFixture core;
        core.manager.LoadHostList();
        QVERIFY(core.manager.hosts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHostListFile)
#include "tst_HostListFile.moc"
