#include "SavedVersions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kKills = 1000;

// Files in memory when the machine has a tmpfs there: a rename replaces a file as atomically
// as on a disk, and a thousand rounds of saves do not wait for the disk's syncs.
QString WorkFolderTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/krnotify-crashsafe-XXXXXX");
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The saver server, started once with its standard input and output on pipes; each round
// forks a saver that the test kills.
class SaverServer
{
public:
    SaverServer(const QString& hostList, const QString& ini)
    {
        int toServer[2], fromServer[2];
        if (::pipe2(toServer, O_CLOEXEC) != 0 || ::pipe2(fromServer, O_CLOEXEC) != 0)
            return;
        m_requests = toServer[1];
        m_replies = fromServer[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
        const QByteArray program(CRASHSAFE_SAVER);
        const QByteArray hostListArg = QFile::encodeName(hostList);
        const QByteArray iniArg = QFile::encodeName(ini);
        char* argv[] = {const_cast<char*>(program.constData()),
                        const_cast<char*>(hostListArg.constData()),
                        const_cast<char*>(iniArg.constData()), nullptr};
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toServer[0]);
        ::close(fromServer[1]);
    }
    ~SaverServer()
    {
        if (m_pid > 0) { // a saver still running dies with its server
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_requests);
        ::close(m_replies);
    }
    SaverServer(const SaverServer&) = delete;
    SaverServer& operator=(const SaverServer&) = delete;

    // Starts a saver, lets it save for delayUs after its first save began, kills it with
    // SIGKILL and waits until it is gone. False when any step failed.
    bool killSaverAfter(qint64 delayUs)
    {
        pid_t saver = -1;
        if (m_pid <= 0 || ::write(m_requests, "g", 1) != 1 || !receive(&saver, sizeof saver))
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        char ended = 0;
        return ::kill(saver, SIGKILL) == 0 && receive(&ended, 1) && ended == 'k';
    }

private:
    bool receive(void* data, size_t size)
    {
        pollfd p{m_replies, POLLIN, 0};
        return ::poll(&p, 1, 30000) == 1 && ::read(m_replies, data, size) == ssize_t(size);
    }

    pid_t m_pid = -1;
    int m_requests = -1;
    int m_replies = -1;
};

} // namespace

// The host list and the options file are replaced whole: a process killed at any moment of a
// save leaves each file with its old or its new content, never a mixture or a cut.
class TestCrashSafeFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedSaverLeavesOldOrNewContent()
    {
        // Both versions of both files, as the saver writes them.
        QTemporaryDir reference(WorkFolderTemplate());
        const QString refHosts = reference.filePath("KRNotifyHosts");
        const QString refIni = reference.filePath("KRNotify.ini");
        QByteArray hosts[2], ini[2];
        for (int version : {0, 1, 0}) {
            QVERIFY(SavedVersions::Save(refHosts, refIni, version));
            hosts[version] = ReadAll(refHosts);
            ini[version] = ReadAll(refIni);
        }
        QVERIFY(hosts[0] != hosts[1] && ini[0] != ini[1]);

        // Kill moments spread over one round of saves (both files, both versions) on this
        // machine; the saver begins its first save as it reports.
        QElapsedTimer rounds;
        rounds.start();
        for (int i = 0; i < 10; ++i)
            SavedVersions::Save(refHosts, refIni, i % 2);
        const qint64 spreadUs = qMax<qint64>(100, rounds.nsecsElapsed() / 1000 / 5);

        QTemporaryDir dir(WorkFolderTemplate());
        const QString hostList = dir.filePath("KRNotifyHosts");
        const QString iniPath = dir.filePath("KRNotify.ini");
        QVERIFY(SavedVersions::Save(hostList, iniPath, 0));
        QRandomGenerator random(20240611);
        ::prctl(PR_SET_TIMERSLACK, 1UL); // kill moments to the microsecond, not 50 us late
        int seen[2][2] = {};             // [file][version] after a kill
        SaverServer server(hostList, iniPath);
        for (int kill = 0; kill < kKills; ++kill) {
            QVERIFY(server.killSaverAfter(random.bounded(spreadUs)));

            const QByteArray nowHosts = ReadAll(hostList);
            const QByteArray nowIni = ReadAll(iniPath);
            QVERIFY2(nowHosts == hosts[0] || nowHosts == hosts[1],
                     qPrintable(QStringLiteral("host list torn after kill %1").arg(kill)));
            QVERIFY2(nowIni == ini[0] || nowIni == ini[1],
                     qPrintable(QStringLiteral("options file torn after kill %1").arg(kill)));
            ++seen[0][nowHosts == hosts[1]];
            ++seen[1][nowIni == ini[1]];
        }
        qInfo("%d kills within %lld us of the first save; host list at version 0/1: %d/%d, options "
              "at version 0/1: %d/%d",
              kKills, spreadUs, seen[0][0], seen[0][1], seen[1][0], seen[1][1]);
    }
};

QTEST_GUILESS_MAIN(TestCrashSafeFiles)
#include "tst_CrashSafeFiles.moc"
