#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

namespace Soak {

// Takes the complete lines (without their line ends) from the front of a buffer; an unfinished
// last line stays.
QList<QByteArray> takeCompleteLines(QByteArray& buffer);

// Reads a file that another process is still writing, one complete line at a time: a line
// whose end has not been written yet waits for the next call.
class LineFollower
{
public:
    explicit LineFollower(const QString& path) : m_file(path) {}

    // The lines completed since the last call, without their line ends.
    QList<QByteArray> newLines();

private:
    QFile m_file;
    QByteArray m_partial;
};

} // namespace Soak
