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

// The saver, started with its standard output on a pipe; killed and reaped on destruction.
class Saver
{
public:
    Saver(const QString& hostList, const QString& ini)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_pipe = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        const QByteArray program(CRASHSAFE_SAVER);
        const QByteArray hostListArg = QFile::encodeName(hostList);
        const QByteArray iniArg = QFile::encodeName(ini);
        char* argv[] = {const_cast<char*>(program.constData()),
                        const_cast<char*>(hostListArg.constData()),
                        const_cast<char*>(iniArg.constData()), nullptr};
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
    }
    ~Saver()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_pipe >= 0)
            ::close(m_pipe);
    }
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    // True once the saver reports that it is saving.
    bool waitUntilSaving()
    {
        pollfd p{m_pipe, POLLIN, 0};
        char byte = 0;
        return m_pid > 0 && ::poll(&p, 1, 30000) == 1 && ::read(m_pipe, &byte, 1) == 1;
    }
    // SIGKILL; true when the saver was still running (it never ends by itself).
    bool kill()
    {
        int status = 0;
        const bool killed = ::kill(m_pid, SIGKILL) == 0 && ::waitpid(m_pid, &status, 0) == m_pid &&
                            WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        m_pid = -1;
        return killed;
    }

private:
    pid_t m_pid = -1;
    int m_pipe = -1;
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
        int seen[2][2] = {}; // [file][version] after a kill
        for (int kill = 0; kill < kKills; ++kill) {
            Saver saver(hostList, iniPath);
            QVERIFY(saver.waitUntilSaving());
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(spreadUs)));
            QVERIFY(saver.kill());

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
