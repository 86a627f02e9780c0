#include "FakeClientControl.h"
#include "ScriptedSnapshotHost.h"
#include "connection/ConnectionManager.h"
#include "connection/SnapshotDownload.h"
#include "events/EventListModel.h"
#include "events/SnapshotFiles.h"
#include "platform/TickSource.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The pictures of the snapshot folder live as long as a row (or the popup) shows them, and the
// folder stays within its limit.

namespace {

// A picture folder, an event list that holds its pictures there, and the events' pictures
// written as a download or capture would.
struct PictureFixture
{
    QTemporaryDir dir;
    SnapshotFiles files;
    CEventListModel model;
    int lastLogId = 0;

    explicit PictureFixture(qint64 limit = SnapshotFiles::kDefaultLimitMiB * SnapshotFiles::kMiB)
        : files(limit)
    {
        model.setPictureFiles(&files);
    }

    QString path(int n) const { return dir.filePath(QStringLiteral("EV%1.jpg").arg(n)); }

    // A new row (newer than all before) listing the picture path(n); returns its log id.
    int addRow(int n, int hostId = 1)
    {
        auto e = std::make_unique<EVENT>();
        e->hostId = hostId;
        e->logType = 2;
        e->logId = ++lastLogId;
        e->utcTime = COleDateTime(45000.0 + lastLogId / 86400.0);
        EVENT* row = e.get();
        model.AddEvent(std::move(e));
        model.AddSnapshotPath(row, path(n));
        return row->logId;
    }

    void write(int n, int bytes = 100)
    {
        QFile file(path(n));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
        file.close();
        files.PictureArrived(path(n), true);
    }

    QStringList onDisk() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::Files);
        names.sort();
        return names;
    }
};

} // namespace

class tst_SnapshotFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void burstKeepsOnlyTheListedPictures();
    void pictureStaysWhileSomethingShowsIt();
    void oldestPicturesGoBeyondTheLimit();
    void fullDiskIsReported();
    void limitFromOptionsFile_data();
    void limitFromOptionsFile();
    void downloadsFollowTheRows();
};

void tst_SnapshotFiles::burstKeepsOnlyTheListedPictures()
{
    PictureFixture f;
    const int burst = 2000;
    for (int n = 0; n < burst; ++n) {
        f.addRow(n);
        f.write(n);
    }
    QCOMPARE(f.model.rowCount(), CEventListModel::kMaxRows);
    QCOMPARE(f.onDisk().size(), CEventListModel::kMaxRows);
    for (int row = 0; row < f.model.rowCount(); ++row)
        QVERIFY(QFile::exists(f.model.eventAt(row)->snapshotPaths.constFirst()));
    QCOMPARE(f.files.totalBytes(), qint64(CEventListModel::kMaxRows) * 100);
}

void tst_SnapshotFiles::pictureStaysWhileSomethingShowsIt()
{
    PictureFixture f;
    // The popup shows a row's picture; the row goes (its host logged in as another), then the
    // popup closes.
    f.addRow(1, 7);
    f.write(1);
    SnapshotHold popup;
    popup.Hold(&f.files, {f.path(1)});
    f.model.RemoveHostEvents(7);
    QVERIFY(QFile::exists(f.path(1)));
    popup.Drop();
    QVERIFY(!QFile::exists(f.path(1)));

    // A picture that arrives after its row left (a download or capture finishing late).
    f.addRow(2, 8);
    f.model.RemoveHostEvents(8);
    f.write(2);
    QVERIFY(!QFile::exists(f.path(2)));

    // The same event notified again takes over the row and its picture; clearing the list
    // lets it go.
    const int logId = f.addRow(3);
    f.write(3);
    auto again = std::make_unique<EVENT>();
    again->hostId = 1;
    again->logType = 2;
    again->logId = logId;
    f.model.AddEvent(std::move(again));
    QCOMPARE(f.model.FindEvent(1, 2, logId)->snapshotPaths, QStringList{f.path(3)});
    QCOMPARE(f.onDisk(), QStringList{QStringLiteral("EV3.jpg")});
    f.model.Clear();
    QCOMPARE(f.onDisk(), QStringList());
    QCOMPARE(f.files.totalBytes(), 0);
}

void tst_SnapshotFiles::oldestPicturesGoBeyondTheLimit()
{
    PictureFixture f(10000);
    for (int n = 1; n <= 5; ++n) {
        f.addRow(n);
        f.write(n, 3000);
        QVERIFY(f.files.totalBytes() <= f.files.limitBytes());
    }
    QCOMPARE(f.onDisk(), (QStringList{"EV3.jpg", "EV4.jpg", "EV5.jpg"}));
    // The rows whose pictures went keep listing them; letting them go changes nothing.
    QCOMPARE(f.model.rowCount(), 5);
    f.model.Clear();
    QCOMPARE(f.onDisk(), QStringList());
    QCOMPARE(f.files.totalBytes(), 0);

    // A picture larger than the whole limit is the newest alarm's: it stays, alone.
    f.addRow(6);
    f.write(6, 4000);
    f.addRow(7);
    f.write(7, 12000);
    QCOMPARE(f.onDisk(), QStringList{"EV7.jpg"});
}

void tst_SnapshotFiles::fullDiskIsReported()
{
    PictureFixture f;
    qint64 free = qint64(1) << 30;
    f.files.setFreeSpaceProbe([&](const QString&) { return free; });
    QSignalSpy full(&f.files, &SnapshotFiles::fullChanged);

    f.addRow(1);
    f.files.PictureArrived(f.path(1), false); // failed with room to spare: the host's fault
    QVERIFY(!f.files.isFull());
    free = 4096;
    f.files.PictureArrived(f.path(1), false);
    f.files.PictureArrived(f.path(1), false);
    QVERIFY(f.files.isFull());
    free = -1; // unknown: the state stays as it is
    f.files.PictureArrived(f.path(1), false);
    QVERIFY(f.files.isFull());
    f.write(1); // a picture could be written again
    QVERIFY(!f.files.isFull());
    QCOMPARE(full.count(), 2);
    QCOMPARE(full[0].at(0).toBool(), true);
    QCOMPARE(full[1].at(0).toBool(), false);
}

void tst_SnapshotFiles::limitFromOptionsFile_data()
{
    QTest::addColumn<QString>("ini"); // empty: no file
    QTest::addColumn<int>("mib");
    QTest::newRow("no file") << QString() << 512;
    QTest::newRow("no key") << "[General]\nAutoPopup=1\n" << 512;
    QTest::newRow("set") << "[snapshots]\nfolderlimitmb = 100\n" << 100;
    QTest::newRow("hexadecimal") << "[Snapshots]\nFolderLimitMB=0x100\n" << 256;
    QTest::newRow("too small") << "[Snapshots]\nFolderLimitMB=1\n" << 16;
    QTest::newRow("no number") << "[Snapshots]\nFolderLimitMB=lots\n" << 16;
    QTest::newRow("too large") << "[Snapshots]\nFolderLimitMB=2000000000\n" << 1024 * 1024;
}

void tst_SnapshotFiles::limitFromOptionsFile()
{
    QFETCH(QString, ini);
    QFETCH(int, mib);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KRNotify.ini"));
    if (!ini.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini.toUtf8());
    }
    QCOMPARE(SnapshotFiles::LimitFromProfile(path), qint64(mib) * SnapshotFiles::kMiB);
}

void tst_SnapshotFiles::downloadsFollowTheRows()
{
    PictureFixture f;
    FakeClientControl control;
    ManualTickSource ticks;
    CConnectionManager manager(control, ticks);
    CSnapshotDownloader downloads(manager, f.dir.path());
    f.files.Follow(downloads);
    ScriptedSnapshotHost healthy;
    healthy.setPicture(2000);
    ScriptedSnapshotHost silent;
    silent.answer = ScriptedSnapshotHost::Answer::Silent;
    const auto download = [&](const ScriptedSnapshotHost& host, int n) {
        SnapshotRequest request;
        request.address = QStringLiteral("127.0.0.1");
        request.port = host.port();
        request.hostId = 1;
        request.filePath = f.path(n);
        downloads.Start(request);
    };

    // A picture a row shows is counted; one whose row left while it was being fetched is
    // stopped or, if it got through, deleted; either way no file is left behind.
    f.addRow(1);
    download(healthy, 1);
    f.addRow(2);
    download(silent, 2);
    f.addRow(3);
    download(healthy, 3);
    QTRY_COMPARE(f.files.totalBytes(), 2 * 2000);
    f.model.Clear();
    f.addRow(4);
    f.model.RemoveHostEvents(1);
    download(healthy, 4);
    QTRY_COMPARE(downloads.runningCount(), 0);
    QCOMPARE(f.onDisk(), QStringList());
}

QTEST_GUILESS_MAIN(tst_SnapshotFiles)
#include "tst_SnapshotFiles.moc"
