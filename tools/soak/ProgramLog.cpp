#include "ProgramLog.h"

#include <QRegularExpression>

namespace Soak {

void ProgramLog::addLine(const QByteArray& bytes)
{
    // Lines are "TIME CATEGORY: MESSAGE".
    if (!bytes.contains(" krnotify.perf: "))
        return;
    static const QRegularExpression event(
        QStringLiteral(" krnotify\\.perf: event host (\\d+) type (-?\\d+) log (-?\\d+):"));
    static const QRegularExpression pushedOut(QStringLiteral("(\\d+) rows pushed out"));
    static const QRegularExpression alarms(QStringLiteral("(\\d+) alarms started"));
    const QString line = QString::fromUtf8(bytes);
    if (const auto m = event.match(line); m.hasMatch()) {
        ++m_eventLines;
        m_shown.insert({m_ports.value(m.captured(1).toInt(), 0), m.captured(2).toInt(),
                        m.captured(3).toInt()});
        return;
    }
    if (!line.contains(QLatin1String(": counters: ")))
        return;
    if (const auto m = pushedOut.match(line); m.hasMatch())
        m_rowsPushedOut = m.captured(1).toULongLong();
    if (const auto m = alarms.match(line); m.hasMatch())
        m_alarmsStarted = m.captured(1).toULongLong();
}

} // namespace Soak
