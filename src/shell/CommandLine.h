#pragma once

#include <QString>
#include <QStringList>

// The process's command line and the switches found in it.
//
// The program reads one "whole command line" text. Here it is rebuilt from argv: the program
// path in double quotes, one space, then the arguments joined by single spaces. A start
// without arguments therefore gives `"<path>" ` and an empty argument text, so a switch-like
// piece of the program path ("/opt/Service/...") is never taken for a switch.
class CommandLine
{
public:
    static constexpr const char* ServiceSwitch = "/Service";
    static constexpr const char* MinimizeSwitch = "/minimize";
    static constexpr const char* UninstallSwitch = "/uninstall";

    explicit CommandLine(const QString& wholeLine = QString());
    static CommandLine fromArguments(const QString& programPath, const QStringList& arguments);

    // When the line starts with a double quote and contains a double quote followed by a
    // space, everything after the first such pair; otherwise the whole line.
    static QString argumentTextOf(const QString& wholeLine);

    const QString& wholeLine() const { return m_wholeLine; }
    const QString& argumentText() const { return m_argumentText; }

    // Switches are case-sensitive substrings anywhere in the argument text.
    bool hasSwitch(const QString& name) const;
    bool hasService() const { return hasSwitch(ServiceSwitch); }
    bool hasMinimize() const { return hasSwitch(MinimizeSwitch); }
    bool hasUninstall() const { return hasSwitch(UninstallSwitch); }

    // The command of the hand-over: the argument text followed by " /Service".
    QString handOverCommand() const;

private:
    QString m_wholeLine;
    QString m_argumentText;
};
