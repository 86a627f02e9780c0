#include "PlatformTests.h"

#include "platform/UnsyncedSaveFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A committed file replaces the old one whole; an abandoned one leaves the old one and no
// temporary behind, so a reader never meets a partial picture.
void TestUnsyncedSaveFile::replacesWholeOrNotAtAll()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("picture.jpg"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        UnsyncedSaveFile file(path);
        QVERIFY(file.open());
        QVERIFY(file.write("half", 4));
        QCOMPARE(readBytes(path), QByteArray("old")); // not seen before the commit
    }
    QCOMPARE(readBytes(path), QByteArray("old"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"picture.jpg"});

    {
        UnsyncedSaveFile file(path);
        QVERIFY(file.open());
        QVERIFY(file.write("new picture", 11));
        QVERIFY(file.commit());
    }
    QCOMPARE(readBytes(path), QByteArray("new picture"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"picture.jpg"});

    // A folder that went away meanwhile: the commit fails instead of claiming a file.
    const QString gone = folder.filePath(QStringLiteral("day/picture.jpg"));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("day")));
    UnsyncedSaveFile file(gone);
    QVERIFY(file.open());
    QVERIFY(file.write("x", 1));
    QVERIFY(QDir(folder.filePath(QStringLiteral("day"))).removeRecursively());
    QVERIFY(!file.commit());
    QVERIFY(!QFile::exists(gone));
}
