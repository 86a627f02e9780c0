#include "platform/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcPaths, "krnotify.platform.paths")

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString envPath(const char* name)
{
    return qEnvironmentVariable(name);
}

bool makeDir(const QString& path, mode_t mode)
{
    return ::mkdir(native(path).constData(), mode) == 0 || errno == EEXIST;
}

// A real directory (not a symbolic link) owned by us.
bool isOwnDir(const QString& path, struct stat& st)
{
    return ::lstat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid();
}

bool isPrivateDir(const QString& path)
{
    struct stat st;
    return isOwnDir(path, st) && (st.st_mode & 077) == 0;
}

// <temp>/krnotify-<uid>, made private when it is ours; empty when it cannot be trusted.
QString perUserTempDir()
{
    const QString dir =
        QDir::tempPath() + QStringLiteral("/krnotify-") + QString::number(::getuid());
    makeDir(dir, 0700);
    struct stat st;
    if (!isOwnDir(dir, st)) {
        qCWarning(lcPaths) << "not using" << dir
                           << "(a symbolic link, not a folder, or another user's)";
        return {};
    }
    if ((st.st_mode & 077) != 0 && ::chmod(native(dir).constData(), 0700) != 0)
        return {};
    return dir;
}

QString freshTempDir()
{
    QByteArray templ = native(QDir::tempPath() + QStringLiteral("/krnotify-") +
                              QString::number(::getuid()) + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(templ.data()))
        return {};
    return QFile::decodeName(templ);
}

// The private folder that holds the snapshot folder, chosen once per process so that every
// caller (and the clean-up at exit) agrees on it.
QString privateBase()
{
    static const QString base = [] {
        const QString runtime = envPath("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateDir(runtime))
            return runtime;
        QString dir = perUserTempDir();
        if (dir.isEmpty())
            dir = freshTempDir();
        if (dir.isEmpty()) {
            qCCritical(lcPaths) << "no private temporary folder; snapshots go to the data folder";
            dir = ProgramPaths::writableDataDir();
        }
        return dir;
    }();
    return base;
}

QString snapshotPath()
{
    const QString override = envPath("KRNOTIFY_SNAPSHOT_DIR");
    if (!override.isEmpty())
        return QDir::cleanPath(override);
    return privateBase() + QStringLiteral("/KRNotifyPic");
}

// An XDG base directory: the variable's value when it is an absolute path, else the default
// under the home folder.
QString baseDirectory(const char* variable, const char* homeDefault)
{
    const QString value = envPath(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + u'/' + QLatin1String(homeDefault);
}

// <base>/KRNotify, created with mode 0700 (its parents as usual).
QString privateSubfolder(const QString& base)
{
    const QString folder = base + QStringLiteral("/KRNotify");
    if (!QDir().mkpath(base) || !makeDir(folder, 0700))
        qCWarning(lcPaths) << "cannot create" << folder;
    return folder;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    if (::remove(path) != 0)
        qCWarning(lcPaths) << "cannot remove" << path << std::strerror(errno);
    return 0; // keep going: remove as much as possible
}

} // namespace

QString ProgramPaths::programDir()
{
    const QString override = envPath("KRNOTIFY_PROGRAM_DIR");
    if (!override.isEmpty())
        return QDir::cleanPath(override);
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath())
        .absolutePath();
}

QString ProgramPaths::installedDataDir()
{
    return QDir::cleanPath(programDir() + u'/' + QStringLiteral(KRNOTIFY_DATA_FROM_BIN));
}

bool ProgramPaths::isInstalled()
{
    return QFileInfo(installedDataDir()).isDir();
}

QString ProgramPaths::resourceFile(const QString& name)
{
    QStringList candidates = {programDir() + u'/' + name, installedDataDir() + u'/' + name};
    if (!isInstalled())
        candidates << QStringLiteral(KRNOTIFY_SOURCE_RESOURCES) + u'/' + name;
    for (const QString& candidate : std::as_const(candidates)) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return candidates.first();
}

QString ProgramPaths::writableDataDir()
{
    const QString dir = programDir();
    if (!isInstalled() && ::access(native(dir).constData(), W_OK) == 0)
        return dir;
    return privateSubfolder(configHome());
}

QString ProgramPaths::optionsFile()
{
    return writableDataDir() + QStringLiteral("/KRNotify.ini");
}

QString ProgramPaths::stateDir()
{
    const QString override = envPath("KRNOTIFY_STATE_DIR");
    if (!override.isEmpty())
        return QDir::cleanPath(override);
    if (!isInstalled())
        return writableDataDir();
    return privateSubfolder(baseDirectory("XDG_STATE_HOME", ".local/state"));
}

QString ProgramPaths::configHome()
{
    return baseDirectory("XDG_CONFIG_HOME", ".config");
}

QString ProgramPaths::snapshotRoot()
{
    const QString root = snapshotPath();
    const QString parent = QFileInfo(root).absolutePath();
    if (!QDir().mkpath(parent) || !makeDir(root, 0700))
        qCWarning(lcPaths) << "cannot create the snapshot folder" << root;
    return root;
}

bool ProgramPaths::removeSnapshotRoot()
{
    const QByteArray root = native(snapshotPath());
    struct stat st;
    if (::lstat(root.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(root.constData()) == 0; // a link is removed, never its target
    ::nftw(root.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return ::lstat(root.constData(), &st) != 0;
}
