#include "shell/FrameWindowChannel.h"
#include "shell/SingleInstanceLock.h"
#include "tst_shell.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

class TestInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void lockIsHeldAgainstOtherProcesses();
    void killedOwnerReleasesLock();
    void lockFileIsWorldOpenable();
    void lockRefusesSymlink();
    void activateReachesRunningInstance();
    void closeWaitsUntilRunningInstanceEnds();
    void askWithoutRunningInstance();
    void staleSocketIsReplacedButLiveOneIsNot();
    void badRequestsAreDropped_data();
    void badRequestsAreDropped();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString lockPath() const { return m_dir->filePath(SingleInstanceLock::FileName); }
    QString socketPath() const { return m_dir->filePath("frame"); }
};

void TestInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestInstance::lockIsHeldAgainstOtherProcesses()
{
    {
        SingleInstanceLock first(lockPath());
        QVERIFY(first.create());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.isOwned());

        QProcess second;
        startHelper(second, {"lock", lockPath()});
        QCOMPARE(helperLine(second), QByteArray("busy"));
        second.closeWriteChannel();
        QVERIFY(helperEnded(second));
    }
    // Released with the owner.
    QProcess later;
    startHelper(later, {"lock", lockPath()});
    QCOMPARE(helperLine(later), QByteArray("owned"));
    later.closeWriteChannel();
    QVERIFY(helperEnded(later));
}

void TestInstance::killedOwnerReleasesLock()
{
    QProcess owner;
    startHelper(owner, {"lock", lockPath()});
    QCOMPARE(helperLine(owner), QByteArray("owned"));

    SingleInstanceLock second(lockPath());
    QVERIFY(second.create());
    QVERIFY(!second.tryAcquire());

    owner.kill();
    QVERIFY(helperEnded(owner));
    QVERIFY(second.tryAcquire());
}

void TestInstance::lockFileIsWorldOpenable()
{
    const mode_t previous = ::umask(077);
    SingleInstanceLock lock(lockPath());
    const bool created = lock.create();
    ::umask(previous);
    QVERIFY(created);
    struct stat info = {};
    QCOMPARE(::stat(QFile::encodeName(lockPath()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0666));
}

void TestInstance::lockRefusesSymlink()
{
    const QString target = m_dir->filePath("elsewhere");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(target, lockPath()));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be opened"));
    SingleInstanceLock lock(lockPath());
    QVERIFY(!lock.create());
    QVERIFY(!lock.tryAcquire());
}

void TestInstance::activateReachesRunningInstance()
{
    FrameWindowChannel channel(socketPath());
    QVERIFY(channel.listen());
    QSignalSpy activated(&channel, &FrameWindowChannel::activateRequested);
    QSignalSpy closed(&channel, &FrameWindowChannel::closeRequested);

    QProcess second;
    startHelper(second, {"frame-ask", "activate", socketPath()});
    QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 1, 20000);
    QCOMPARE(helperLine(second),
             QByteArray::number(static_cast<int>(FrameWindowChannel::Answer::Activated)));
    QVERIFY(helperEnded(second));
    QCOMPARE(closed.size(), 0);
}

void TestInstance::closeWaitsUntilRunningInstanceEnds()
{
    QProcess running;
    startHelper(running, {"frame-server", socketPath()});
    QCOMPARE(helperLine(running), QByteArray("listening"));

    QCOMPARE(FrameWindowChannel::ask(FrameWindowChannel::Request::Close, socketPath()),
             FrameWindowChannel::Answer::Closed);
    // ask() returned only after the process had ended: it has exited and merely waits to be
    // reaped by us (WNOWAIT leaves that to QProcess).
    siginfo_t state = {};
    QCOMPARE(::waitid(P_PID, static_cast<id_t>(running.processId()), &state,
                      WEXITED | WNOHANG | WNOWAIT),
             0);
    QCOMPARE(state.si_pid, static_cast<pid_t>(running.processId()));
    QVERIFY(helperEnded(running, 20000));
    QCOMPARE(running.readAllStandardOutput().trimmed(), QByteArray("close"));
    QCOMPARE(running.exitStatus(), QProcess::NormalExit);
}

void TestInstance::askWithoutRunningInstance()
{
    QCOMPARE(FrameWindowChannel::ask(FrameWindowChannel::Request::Activate, socketPath()),
             FrameWindowChannel::Answer::NotFound);
    QCOMPARE(FrameWindowChannel::ask(FrameWindowChannel::Request::Close, socketPath()),
             FrameWindowChannel::Answer::NotFound);
}

void TestInstance::staleSocketIsReplacedButLiveOneIsNot()
{
    // A crashed instance leaves its socket file with nobody listening.
    const QByteArray path = QFile::encodeName(socketPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    QVERIFY(QFile::exists(socketPath()));

    FrameWindowChannel channel(socketPath());
    QVERIFY(channel.listen());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("served by another process"));
    FrameWindowChannel intruder(socketPath());
    QVERIFY(!intruder.listen());
    QVERIFY(channel.isListening());
}

void TestInstance::badRequestsAreDropped_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("unknown") << QByteArray("shutdown\n");
    QTest::newRow("no line end, too long") << QByteArray(4096, 'a');
    QTest::newRow("case differs") << QByteArray("CLOSE\n");
}

void TestInstance::badRequestsAreDropped()
{
    QFETCH(QByteArray, request);
    FrameWindowChannel channel(socketPath());
    QVERIFY(channel.listen());
    QSignalSpy activated(&channel, &FrameWindowChannel::activateRequested);
    QSignalSpy closed(&channel, &FrameWindowChannel::closeRequested);

    QLocalSocket peer;
    peer.connectToServer(socketPath());
    QVERIFY(peer.waitForConnected(5000));
    QSignalSpy disconnected(&peer, &QLocalSocket::disconnected);
    peer.write(request);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 20000);
    QCOMPARE(activated.size() + closed.size(), 0);
}

QObject* makeInstanceTest()
{
    return new TestInstance;
}

#include "tst_instance.moc"
