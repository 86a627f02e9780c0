#pragma once
// krcam-sim as a child process, for the tests and benchmarks that talk to it: started on
// loopback ports (0: free ones, read back from its first lines), and the back-channel figures it
// prints.

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <memory>

class CameraSimProcess
{
public:
    explicit CameraSimProcess(QString program) : m_program(std::move(program)) {}
    ~CameraSimProcess() { kill(); }

    // The build's krcam-sim, for a test run by CTest (KRNOTIFY_BINARY_DIR).
    static QString builtProgram()
    {
        return qEnvironmentVariable("KRNOTIFY_BINARY_DIR") +
               QStringLiteral("/tools/krcam-sim/krcam-sim");
    }

    bool start(int rtspPort = 0, int httpPort = 0, int waitMs = 60000)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->start(m_program, {QStringLiteral("--rtsp-port"), QString::number(rtspPort),
                                     QStringLiteral("--http-port"), QString::number(httpPort)});
        m_ready = false;
        QElapsedTimer timer;
        timer.start();
        while (!m_ready && timer.elapsed() < waitMs) {
            if (!m_process->waitForReadyRead(1000) && m_process->state() != QProcess::Running)
                return false;
            readLines();
        }
        return m_ready;
    }

    void kill()
    {
        if (!m_process)
            return;
        m_process->kill();
        m_process->waitForFinished(10000);
        m_process.reset();
        m_ready = false;
    }

    int rtspPort() const { return m_rtspPort; }
    int httpPort() const { return m_httpPort; }

    // Bytes (16-bit samples) that reached the camera's back channels so far, and the latest
    // level in dBFS, as of the lines printed until now.
    qint64 backchannelBytes()
    {
        readLines();
        return m_backchannelBytes;
    }
    double backchannelLevel()
    {
        readLines();
        return m_backchannelLevel;
    }

private:
    void readLines()
    {
        static const QRegularExpression urlLine(
            QStringLiteral("^(rtsp|http) \\w+://[^:]+:(\\d+)/"));
        static const QRegularExpression levelLine(
            QStringLiteral("^backchannel \\S+ bytes (\\d+) level (-?[\\d.]+)"));
        while (m_process && m_process->canReadLine()) {
            const QString line = QString::fromUtf8(m_process->readLine()).trimmed();
            if (const auto m = urlLine.match(line); m.hasMatch()) {
                const bool rtsp = m.captured(1) == QLatin1String("rtsp");
                (rtsp ? m_rtspPort : m_httpPort) = m.captured(2).toInt();
                m_ready = !rtsp; // the HTTP line comes last
            } else if (const auto l = levelLine.match(line); l.hasMatch()) {
                m_backchannelBytes = l.captured(1).toLongLong();
                m_backchannelLevel = l.captured(2).toDouble();
            }
        }
    }

    QString m_program;
    std::unique_ptr<QProcess> m_process;
    bool m_ready = false;
    int m_rtspPort = 0;
    int m_httpPort = 0;
    qint64 m_backchannelBytes = 0;
    double m_backchannelLevel = -100;
};
