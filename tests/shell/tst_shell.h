#pragma once

#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>

// Every test class of the shell, run one after the other by one executable.
QObject* makeCommandLineTest();
QObject* makeInstanceTest();
QObject* makeStartupAgentTest();
QObject* makeStartupSequenceTest();

inline QList<QObject*> shellTests()
{
    return {makeCommandLineTest(), makeInstanceTest(), makeStartupAgentTest(),
            makeStartupSequenceTest()};
}

// Starts the helper child in mode with args; stdin stays open until the process is killed
// or its stdin closed.
inline void startHelper(QProcess& process, const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(SHELL_TEST_HELPER), arguments);
}

// The next line the helper prints, or an empty text when it printed none in time.
inline QByteArray helperLine(QProcess& process, int timeoutMs = 20000)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(timeoutMs))
            return {};
    }
    return process.readLine().trimmed();
}

// True once the helper has ended (also when it had ended before this call).
inline bool helperEnded(QProcess& process, int timeoutMs = 20000)
{
    return process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs);
}
