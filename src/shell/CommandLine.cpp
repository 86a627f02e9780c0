#include "shell/CommandLine.h"

CommandLine::CommandLine(const QString& wholeLine)
    : m_wholeLine(wholeLine), m_argumentText(argumentTextOf(wholeLine))
{
}

CommandLine CommandLine::fromArguments(const QString& programPath, const QStringList& arguments)
{
    return CommandLine(QLatin1Char('"') + programPath + QLatin1String("\" ") +
                       arguments.join(QLatin1Char(' ')));
}

QString CommandLine::argumentTextOf(const QString& wholeLine)
{
    if (!wholeLine.startsWith(QLatin1Char('"')))
        return wholeLine;
    const int pair = wholeLine.indexOf(QLatin1String("\" "));
    return pair < 0 ? wholeLine : wholeLine.mid(pair + 2);
}

bool CommandLine::hasSwitch(const QString& name) const
{
    return m_argumentText.contains(name, Qt::CaseSensitive);
}

QString CommandLine::handOverCommand() const
{
    return m_argumentText + QLatin1Char(' ') + QLatin1String(ServiceSwitch);
}
