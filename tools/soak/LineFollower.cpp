#include "LineFollower.h"

namespace Soak {

QList<QByteArray> takeCompleteLines(QByteArray& buffer)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype end; (end = buffer.indexOf('\n', start)) >= 0; start = end + 1)
        lines << buffer.mid(start, end - start);
    buffer.remove(0, start);
    return lines;
}

QList<QByteArray> LineFollower::newLines()
{
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        return {};
    m_partial += m_file.readAll();
    return takeCompleteLines(m_partial);
}

} // namespace Soak
