#pragma once

#include <QObject>
#include <QProcess>

namespace Soak {

// The test camera (krcam-sim) as a child process that can die and come back on its ports.
class TestCamera : public QObject
{
    Q_OBJECT

public:
    TestCamera(QString program, QString logPath, QObject* parent = nullptr);
    ~TestCamera() override;

    // Starts it on free ports the first time, on the same ports afterwards. Waits until it
    // serves (at most a few seconds); false with the reason otherwise.
    bool start(QString* error);
    // Kills it at once (SIGKILL), as a camera that loses power.
    void kill();

    int rtspPort() const { return m_rtspPort; }
    int httpPort() const { return m_httpPort; }

private:
    bool startOnce(QString* error);

    QString m_program;
    QString m_logPath;
    QProcess m_process;
    int m_rtspPort = 0;
    int m_httpPort = 0;
};

} // namespace Soak
