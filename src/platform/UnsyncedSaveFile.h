#pragma once

#include <QString>
#include <QTemporaryFile>

// Writes a file under a temporary name beside it and renames it into place on commit(), so a
// reader sees either the old file or the whole new one, never a partial one. Unlike QSaveFile
// it does not flush to disk before the rename: for files that need not outlive a power cut
// (pictures in a folder deleted at exit), where a sync costs more than the whole write.
// Without commit() the temporary is removed and the target is left as it was.
class UnsyncedSaveFile
{
public:
    explicit UnsyncedSaveFile(const QString& path);

    bool open();
    bool write(const char* data, qint64 size);
    // Closes the temporary and renames it over the target (replacing an existing file).
    bool commit();

private:
    QString m_path;
    QTemporaryFile m_temporary;
    bool m_failed = false;
};
