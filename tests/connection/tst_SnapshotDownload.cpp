#include "FakeClientControl.h"
#include "ScriptedSnapshotHost.h"
#include "common/BlockedLookup.h"
#include "connection/ConnectionManager.h"
#include "connection/SnapshotDownload.h"
#include "platform/TickSource.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>

namespace {

SnapshotRequest RequestTo(const QString& address, quint16 port, int hostId, const QString& path)
{
    SnapshotRequest request;
    request.address = address;
    request.port = port;
    request.hostId = hostId;
    request.logId = 1;
    request.cameraNumber = 1;
    request.filePath = path;
    return request;
}

struct DownloaderFixture
{
    FakeClientControl control;
    ManualTickSource ticks;
    CConnectionManager manager{control, ticks};
    QTemporaryDir folder;

    QString path(int hostId, int n) const
    {
        return folder.filePath(QStringLiteral("%1-%2.jpg").arg(hostId).arg(n));
    }
};

} // namespace

class tst_SnapshotDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exchange_data();
    void exchange();
    void unreachableHost();
    void endsWithoutWaitingForTheNetwork_data();
    void endsWithoutWaitingForTheNetwork();
    void slowHostDoesNotHoldUpTheOthers();
    void unwantedPictureIsNotFetched();
    void hostsTakeTurns();
};

void tst_SnapshotDownload::exchange_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("sendBytes");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("clientBytes"); // what the client sent in all

    QTest::newRow("handshake refused") << false << 1 << 0 << 0 << false << false << 2;
    QTest::newRow("no picture") << true << 0 << 0 << 0 << false << false << 26;
    QTest::newRow("length 0") << true << 1 << 0 << 0 << false << false << 26;
    QTest::newRow("negative length") << true << 1 << -5 << 0 << false << false << 26;
    // The limit: two cases that differ only in the length, each sending the whole picture.
    QTest::newRow("largest picture") << true << 1 << 4999999 << 4999999 << false << true << 26;
    QTest::newRow("too large") << true << 1 << 5000000 << 5000000 << false << false << 26;
    QTest::newRow("stall mid-picture") << true << 1 << 1000 << 500 << false << false << 26;
    QTest::newRow("closed mid-picture") << true << 1 << 1000 << 500 << true << false << 26;
}

void tst_SnapshotDownload::exchange()
{
    QFETCH(bool, accept);
    QFETCH(int, result);
    QFETCH(int, length);
    QFETCH(int, sendBytes);
    QFETCH(bool, closeAfter);
    QFETCH(bool, written);
    QFETCH(int, clientBytes);

    FakeClientControl control;
    ManualTickSource ticks;
    CConnectionManager manager(control, ticks);
    QTemporaryDir folder;
    CSnapshotDownloader downloader(manager, folder.path());
    downloader.setWaits({2000, 300}); // a stall is noticed after 300 ms

    ScriptedSnapshotHost host;
    host.accept = accept;
    host.result = result;
    host.length = length;
    host.sendBytes = sendBytes;
    host.closeAfter = closeAfter;
    host.picture.resize(qMax(0, sendBytes));
    for (int i = 0; i < host.picture.size(); ++i)
        host.picture[i] = char((i * 131) ^ (i >> 8));

    SnapshotRequest request;
    request.address = QStringLiteral("127.0.0.1");
    request.port = host.port();
    request.key = 0x11223344;
    request.hostId = 3;
    request.logId = 77;
    request.cameraNumber = 2;
    request.utcTime = 45000.25;
    request.filePath = folder.filePath(QStringLiteral("EV.jpg"));

    QSignalSpy finished(&downloader, &CSnapshotDownloader::snapshotFinished);
    downloader.Start(request);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().at(0).toInt(), 3);
    QCOMPARE(finished.first().at(1).toString(), request.filePath);
    QCOMPARE(finished.first().at(2).toBool(), written);
    QTRY_COMPARE(int(host.received.size()), clientBytes);

    // The client's request: 0x00 0xC9, then 15, log id, camera, key and the time.
    QCOMPARE(host.received.left(2), QByteArray("\x00\xC9", 2));
    if (clientBytes == 26) {
        const char* p = host.received.constData() + 2;
        QCOMPARE(qFromLittleEndian<qint32>(p), 15);
        QCOMPARE(qFromLittleEndian<qint32>(p + 4), 77);
        QCOMPARE(qFromLittleEndian<qint32>(p + 8), 2);
        QCOMPARE(qFromLittleEndian<qint32>(p + 12), 0x11223344);
        const quint64 bits = qFromLittleEndian<quint64>(p + 16);
        double time = 0;
        std::memcpy(&time, &bits, sizeof time);
        QCOMPARE(time, 45000.25);
    }

    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    if (written) {
        QCOMPARE(left, QStringList{QStringLiteral("EV.jpg")});
        QFile file(request.filePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), host.picture);
    } else {
        QCOMPARE(left, QStringList{}); // no picture and no partial file
    }
}

void tst_SnapshotDownload::unreachableHost()
{
    FakeClientControl control;
    ManualTickSource ticks;
    CConnectionManager manager(control, ticks);
    QTemporaryDir folder;
    CSnapshotDownloader downloader(manager, folder.path());
    QTcpServer closed; // a port that certainly refuses: listen, note it, stop listening
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QSignalSpy finished(&downloader, &CSnapshotDownloader::snapshotFinished);
    downloader.Start({QStringLiteral("127.0.0.1"), port, 0, 1, 1, 1, 0.0,
                      folder.filePath(QStringLiteral("x.jpg"))});
    downloader.Start({QStringLiteral("no-such-host.invalid"), 80, 0, 1, 1, 1, 0.0,
                      folder.filePath(QStringLiteral("y.jpg"))});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 30000);
    QVERIFY(!finished[0].at(2).toBool() && !finished[1].at(2).toBool());
}

void tst_SnapshotDownload::endsWithoutWaitingForTheNetwork_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("name server never answers") << QStringLiteral("camera.example");
    QTest::newRow("peer never sends") << QStringLiteral("127.0.0.1");
}

void tst_SnapshotDownload::endsWithoutWaitingForTheNetwork()
{
    QFETCH(QString, address);
    DownloaderFixture f;
    ScriptedSnapshotHost host;
    host.answer = ScriptedSnapshotHost::Answer::Silent;
    BlockedLookup lookup;
    auto downloader = std::make_unique<CSnapshotDownloader>(f.manager, f.folder.path());
    downloader->setNameLookup(lookup.function());
    QSignalSpy finished(downloader.get(), &CSnapshotDownloader::snapshotFinished);
    // The real waits: ending must not wait for them either.
    downloader->Start(RequestTo(address, host.port(), 1, f.path(1, 1)));
    QTRY_VERIFY(lookup.entered() || host.received.size() == 2);

    downloader.reset();
    // Nothing was left to wait for: the name server is still silent.
    QVERIFY(!lookup.returned());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_SnapshotDownload::slowHostDoesNotHoldUpTheOthers()
{
    DownloaderFixture f;
    CSnapshotDownloader downloader(f.manager, f.folder.path());
    ScriptedSnapshotHost slow; // every download alive, none ever done
    slow.answer = ScriptedSnapshotHost::Answer::Trickle;
    slow.setPicture(1000000);
    ScriptedSnapshotHost healthy;
    healthy.setPicture(2000);
    QSignalSpy finished(&downloader, &CSnapshotDownloader::snapshotFinished);

    const int slowCount = CSnapshotDownloader::kSlots + 2;
    for (int i = 0; i < slowCount; ++i)
        downloader.Start(RequestTo(QStringLiteral("127.0.0.1"), slow.port(), 1, f.path(1, i)));
    for (int i = 0; i < 3; ++i)
        downloader.Start(RequestTo(QStringLiteral("127.0.0.1"), healthy.port(), 2, f.path(2, i)));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 20000);
    for (const QList<QVariant>& report : finished) {
        QCOMPARE(report.at(0).toInt(), 2);
        QVERIFY(report.at(2).toBool());
    }
    // The slow host keeps its share of the slots and no more; its other pictures wait.
    QCOMPARE(downloader.runningCount(), CSnapshotDownloader::kSlotsPerHost);
    QCOMPARE(downloader.waitingCount(), slowCount - CSnapshotDownloader::kSlotsPerHost);
    QCOMPARE(slow.requests, CSnapshotDownloader::kSlotsPerHost);
}

void tst_SnapshotDownload::unwantedPictureIsNotFetched()
{
    DownloaderFixture f;
    CSnapshotDownloader downloader(f.manager, f.folder.path());
    ScriptedSnapshotHost host;
    host.answer = ScriptedSnapshotHost::Answer::Silent;
    QSignalSpy finished(&downloader, &CSnapshotDownloader::snapshotFinished);
    for (int i = 0; i < 3; ++i)
        downloader.Start(RequestTo(QStringLiteral("127.0.0.1"), host.port(), 1, f.path(1, i)));
    QCOMPARE(downloader.runningCount(), 2);
    QCOMPARE(downloader.waitingCount(), 1);

    downloader.Cancel(f.path(1, 2)); // waiting: dropped
    QCOMPARE(downloader.waitingCount(), 0);
    downloader.Cancel(f.path(1, 0)); // running: stopped, its slot free again
    QTRY_COMPARE(downloader.runningCount(), 1);
    downloader.Start(RequestTo(QStringLiteral("127.0.0.1"), host.port(), 1, f.path(1, 3)));
    QCOMPARE(downloader.runningCount(), 2);
    QCOMPARE(finished.count(), 0);
}

void tst_SnapshotDownload::hostsTakeTurns()
{
    SnapshotQueue queue(3, 2); // three slots, two per host
    const auto push = [&](int hostId, const char* name) {
        queue.Push(RequestTo(QString(), 1, hostId, QLatin1String(name)));
    };
    const auto take = [&] {
        const std::optional<SnapshotRequest> next = queue.TakeNext();
        return next ? next->filePath : QStringLiteral("-");
    };
    for (const char* name : {"a1", "a1", "a2", "a3"}) // a1 twice: asked for once
        push(1, name);
    push(2, "b1");
    push(2, "b2");
    push(3, "c1");
    push(4, "d1");
    QCOMPARE(queue.Remove(QStringLiteral("d1")), 1);

    QCOMPARE(take(), "a1");
    QCOMPARE(take(), "b1");
    QCOMPARE(take(), "c1");
    QCOMPARE(take(), "-"); // every slot busy
    queue.Finished(3);
    QCOMPARE(take(), "a2"); // host 1 now holds its share
    queue.Finished(2);
    QCOMPARE(take(), "b2");
    queue.Finished(2);
    QCOMPARE(take(), "-"); // a3 waits for a slot of its own host
    queue.Finished(1);
    QCOMPARE(take(), "a3");
    QCOMPARE(queue.waiting(), 0);
    QCOMPARE(queue.running(), 2);
}

QTEST_GUILESS_MAIN(tst_SnapshotDownload)
#include "tst_SnapshotDownload.moc"
