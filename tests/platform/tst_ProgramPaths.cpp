#include "PlatformTests.h"

#include "platform/ProgramPaths.h"
#include "platform/TickSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets an environment variable for one test and restores it afterwards.
class EnvGuard
{
public:
    EnvGuard(const char* name, const QString& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvGuard()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

bool touch(const QString& path)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly);
}

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

void TestProgramPaths::resourceFileSearchOrder()
{
    QTemporaryDir root;
    const QString bin = root.filePath("bin");
    QVERIFY(QDir().mkpath(bin));
    EnvGuard program("KRNOTIFY_PROGRAM_DIR", bin);
    QCOMPARE(ProgramPaths::programDir(), bin);
    QVERIFY(!ProgramPaths::isInstalled());

    // Nowhere: the name beside the program.
    QCOMPARE(ProgramPaths::resourceFile("Nothing.here"), bin + "/Nothing.here");
    // Developer build: the source tree's resources.
    QVERIFY(QFileInfo::exists(ProgramPaths::resourceFile("KRNotify.StringTable")));
    // Installed share folder.
    const QString shared = root.filePath("share/krnotify/NoImage.jpg");
    QVERIFY(touch(shared));
    QVERIFY(ProgramPaths::isInstalled());
    QCOMPARE(ProgramPaths::installedDataDir(), root.filePath("share/krnotify"));
    QCOMPARE(ProgramPaths::resourceFile("NoImage.jpg"), shared);
    // Beside the program wins.
    QVERIFY(touch(bin + "/NoImage.jpg"));
    QCOMPARE(ProgramPaths::resourceFile("NoImage.jpg"), bin + "/NoImage.jpg");
    // Installed, a file missing from the installation is not taken from the source tree.
    QCOMPARE(ProgramPaths::resourceFile("KRNotify.StringTable"), bin + "/KRNotify.StringTable");
}

void TestProgramPaths::writableDataDirFallsBackToConfig()
{
    QTemporaryDir root;
    EnvGuard config("XDG_CONFIG_HOME", root.filePath("config"));
    EnvGuard state("XDG_STATE_HOME", root.filePath("state"));
    EnvGuard noStateOverride("KRNOTIFY_STATE_DIR", QString());
    {
        EnvGuard program("KRNOTIFY_PROGRAM_DIR", root.path());
        QCOMPARE(ProgramPaths::writableDataDir(), root.path());
        QCOMPARE(ProgramPaths::stateDir(), root.path());
    }
    // A folder we cannot write to (here: one that does not exist, which holds for root too).
    {
        EnvGuard program("KRNOTIFY_PROGRAM_DIR", root.filePath("portable/bin"));
        const QString data = ProgramPaths::writableDataDir();
        QCOMPARE(data, root.filePath("config/KRNotify"));
        QVERIFY(QFileInfo(data).isDir());
        QCOMPARE(modeOf(data), mode_t(0700));
        QCOMPARE(ProgramPaths::stateDir(), data);
    }
    // Installed: never beside the program, even where it may write (root may write to
    // /usr/bin); crash reports are state, not configuration.
    const QString bin = root.filePath("usr/bin");
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(root.filePath("usr/share/krnotify")));
    EnvGuard program("KRNOTIFY_PROGRAM_DIR", bin);
    QCOMPARE(ProgramPaths::writableDataDir(), root.filePath("config/KRNotify"));
    const QString reports = ProgramPaths::stateDir();
    QCOMPARE(reports, root.filePath("state/KRNotify"));
    QCOMPARE(modeOf(reports), mode_t(0700));
    {
        EnvGuard own("KRNOTIFY_STATE_DIR", root.filePath("own/state/"));
        QCOMPARE(ProgramPaths::stateDir(), root.filePath("own/state"));
    }
    QVERIFY(QDir(bin).isEmpty());
    // A relative XDG value is ignored, as the base-directory rules say.
    EnvGuard relative("XDG_CONFIG_HOME", "relative/config");
    QCOMPARE(ProgramPaths::configHome(), QDir::homePath() + "/.config");
}

// The private folder is chosen once per process, so this is the one test that lets the
// automatic choice run: both usual places are planted, and neither may be used.
void TestProgramPaths::snapshotRootRefusesPlantedFolders()
{
    QTemporaryDir root;
    const QString target = root.filePath("victim");
    QVERIFY(QDir().mkpath(target));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0700) == 0);
    const QString runtimeLink = root.filePath("runtime");
    QVERIFY(QFile::link(target, runtimeLink));
    const QString tmp = root.filePath("tmp");
    QVERIFY(QDir().mkpath(tmp));
    const QString planted = tmp + "/krnotify-" + QString::number(::getuid());
    QVERIFY(QFile::link(target, planted));

    EnvGuard runtime("XDG_RUNTIME_DIR", runtimeLink);
    EnvGuard tmpdir("TMPDIR", tmp);
    qunsetenv("KRNOTIFY_SNAPSHOT_DIR");
    const QString snapshots = ProgramPaths::snapshotRoot();
    QVERIFY2(snapshots.startsWith(planted + "-"), qPrintable(snapshots));
    QVERIFY(snapshots.endsWith("/KRNotifyPic"));
    const QString base = QFileInfo(snapshots).absolutePath();
    QVERIFY(!QFileInfo(base).isSymLink());
    QCOMPARE(modeOf(base), mode_t(0700));
    QVERIFY(QDir(target).isEmpty());
    QVERIFY(ProgramPaths::removeSnapshotRoot());
    QVERIFY(!QFileInfo::exists(snapshots));
}

void TestProgramPaths::removeSnapshotRootKeepsLinkTargets()
{
    QTemporaryDir root;
    const QString outside = root.filePath("outside");
    QVERIFY(touch(outside + "/keep.jpg"));
    const QString pic = root.filePath("KRNotifyPic");
    EnvGuard snapshots("KRNOTIFY_SNAPSHOT_DIR", pic);
    QCOMPARE(ProgramPaths::snapshotRoot(), pic);
    QCOMPARE(modeOf(pic), mode_t(0700));
    QVERIFY(touch(pic + "/20240101/EV.20240101.0000000007-1.jpg"));
    QVERIFY(QFile::link(outside, pic + "/20240101/link"));
    QVERIFY(QFile::link(outside + "/keep.jpg", pic + "/file-link.jpg"));

    QVERIFY(ProgramPaths::removeSnapshotRoot());
    QVERIFY(!QFileInfo::exists(pic));
    QVERIFY(QFileInfo::exists(outside + "/keep.jpg"));
    QVERIFY(ProgramPaths::removeSnapshotRoot()); // nothing left to remove is fine
}

void TestProgramPaths::manualTickWrapsLikeGetTickCount()
{
    ManualTickSource ticks(0xFFFFFFF0u);
    const quint32 then = ticks.tickCount();
    ticks.advance(0x20);
    QCOMPARE(ticks.tickCount(), 0x10u);
    QCOMPARE(quint32(ticks.tickCount() - then), 0x20u);
    ticks.setTickCount(5);
    QCOMPARE(ticks.tickCount(), 5u);

    const SystemTickSource system;
    const quint32 first = system.tickCount();
    QVERIFY(quint32(system.tickCount() - first) < 60000u);
}
