#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QThread>

// An X screen (Xvfb) with a system tray (trayer) for the runs that need a real tray; not
// valid when either program is missing.
class TrayScreen
{
public:
    static constexpr int kStartWaitMs = 15000;

    TrayScreen()
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("trayer").isEmpty())
            return;
        for (int n = 150; n < 200 && m_display.isEmpty(); ++n) {
            if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
                !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                m_display = QStringLiteral(":%1").arg(n);
        }
        if (m_display.isEmpty())
            return;
        m_xvfb.start("Xvfb", {m_display, "-screen", "0", "1600x900x24", "-nolisten", "tcp"});
        if (!m_xvfb.waitForStarted(kStartWaitMs))
            return;
        const QString socket = "/tmp/.X11-unix/X" + m_display.mid(1);
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(socket) && timer.elapsed() < kStartWaitMs &&
               m_xvfb.state() == QProcess::Running)
            QThread::msleep(50);
        if (!QFile::exists(socket))
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        m_trayer.setProcessEnvironment(env);
        m_trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel",
                                  "--width", "64", "--heighttype", "pixel", "--height", "24"});
        m_valid = m_trayer.waitForStarted(kStartWaitMs);
    }
    ~TrayScreen()
    {
        for (QProcess* p : {&m_trayer, &m_xvfb}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(kStartWaitMs))
                    p->kill();
                p->waitForFinished(kStartWaitMs);
            }
        }
    }
    bool isValid() const { return m_valid; }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env;
        env.insert("DISPLAY", m_display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        return env;
    }

private:
    QString m_display;
    QProcess m_xvfb;
    QProcess m_trayer;
    bool m_valid = false;
};
