#pragma once
// VLC's RTSP server from Debian (cvlc), as a test camera the project did not write: it loops a
// short H.264 clip made at start to rtsp://127.0.0.1:PORT/cam1. VLC answers a back-channel
// requirement with "551 Option not supported" and RTP inside the RTSP connection with "461
// Unsupported transport". VLC refuses to run as root, so under root it runs as nobody.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class VlcRtspServer
{
public:
    ~VlcRtspServer();

    // True when VLC serves; otherwise why not (cannotRun() says whether VLC cannot run here at
    // all, as opposed to running and not serving).
    bool start();
    bool cannotRun() const { return m_cannotRun; }
    QString problem() const { return m_problem; }
    int port() const { return m_port; }

private:
    bool makeClip(const QString& path);
    bool fail(const QString& problem, bool cannotRun);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    bool m_cannotRun = false;
    QString m_problem;
};
