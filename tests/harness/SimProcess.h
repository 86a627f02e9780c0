#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

// The host simulator as a child process on loopback ports chosen at run time. Its stdout
// carries one "port N" line per host; its stderr (connections, faults) is shown only when
// KRN_SIM_VERBOSE is set.
class SimProcess
{
public:
    ~SimProcess() { stop(); }

    // Starts the simulator with one "--port 0" per host plus the given options; true once
    // every host listens.
    bool start(int hosts, const QStringList& options)
    {
        QStringList args = options;
        for (int i = 0; i < hosts; ++i)
            args << QStringLiteral("--port") << QStringLiteral("0");
        if (!qEnvironmentVariableIsSet("KRN_SIM_VERBOSE"))
            m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(KRHOST_SIM_PATH), args);
        if (!m_process.waitForStarted(10000))
            return false;
        while (ports.size() < hosts) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000))
                return false;
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith("port "))
                    ports << line.mid(5).toInt();
            }
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    QList<int> ports;

private:
    QProcess m_process;
};
