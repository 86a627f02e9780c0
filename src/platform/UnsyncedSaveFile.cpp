#include "platform/UnsyncedSaveFile.h"

#include <QFile>

#include <cstdio>

UnsyncedSaveFile::UnsyncedSaveFile(const QString& path)
    : m_path(path), m_temporary(path + QStringLiteral(".XXXXXX"))
{
}

bool UnsyncedSaveFile::open()
{
    return m_temporary.open();
}

bool UnsyncedSaveFile::write(const char* data, qint64 size)
{
    if (!m_failed && m_temporary.write(data, size) != size)
        m_failed = true;
    return !m_failed;
}

bool UnsyncedSaveFile::commit()
{
    if (m_failed || !m_temporary.isOpen() || !m_temporary.flush())
        return false;
    const QString temporaryPath = m_temporary.fileName();
    m_temporary.close();
    if (m_temporary.error() != QFileDevice::NoError)
        return false;
    // rename(2) replaces the target in one step; QFile::rename would refuse an existing one.
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(m_path).constData()) != 0)
        return false;
    m_temporary.setAutoRemove(false);
    return true;
}
