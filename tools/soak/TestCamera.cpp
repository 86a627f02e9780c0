#include "TestCamera.h"

#include <QRegularExpression>
#include <QThread>

namespace Soak {

namespace {

constexpr int kStartMs = 15000;
constexpr int kAttempts = 5; // a port just freed by the killed camera may still be held

} // namespace

TestCamera::TestCamera(QString program, QString logPath, QObject* parent)
    : QObject(parent), m_program(std::move(program)), m_logPath(std::move(logPath))
{
}

TestCamera::~TestCamera()
{
    kill();
}

bool TestCamera::start(QString* error)
{
    for (int attempt = 1;; ++attempt) {
        if (startOnce(error))
            return true;
        if (attempt == kAttempts || m_rtspPort == 0)
            return false;
        QThread::sleep(1);
    }
}

bool TestCamera::startOnce(QString* error)
{
    m_process.setStandardErrorFile(m_logPath, QIODevice::Append);
    // Two cameras at a small size: enough for every site's recorder and door station, light on
    // the machine's processors.
    m_process.start(m_program,
                    {"--rtsp-port", QString::number(m_rtspPort), "--http-port",
                     QString::number(m_httpPort), "--cameras", "2", "--size", "160x120"});
    static const QRegularExpression url(QStringLiteral("^(rtsp|http) \\w+://[^:]+:(\\d+)/"));
    int rtsp = 0;
    int http = 0;
    while ((rtsp == 0 || http == 0) && m_process.waitForReadyRead(kStartMs)) {
        while (m_process.canReadLine()) {
            const auto m = url.match(QString::fromUtf8(m_process.readLine()));
            if (m.hasMatch())
                (m.captured(1) == QLatin1String("rtsp") ? rtsp : http) = m.captured(2).toInt();
        }
    }
    if (rtsp == 0 || http == 0) {
        *error = QStringLiteral("the test camera did not start (log: %1)").arg(m_logPath);
        kill();
        return false;
    }
    m_rtspPort = rtsp;
    m_httpPort = http;
    return true;
}

void TestCamera::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace Soak
