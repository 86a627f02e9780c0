#pragma once

// The end-to-end benchmarks' cast: the program itself as the operator runs it (its own
// process, its own figures from the krnotify.perf log), and the decode-only baseline, a bare
// client control in the benchmark's process that logs in to the same hosts and only notes when
// each message arrived.

#include "BenchTiming.h"
#include "platform/PerfLog.h"
#include "tnclient/TnClient.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace Bench {

// The value below which the given share (0 to 1) of the values lie; 0 for none.
inline double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size())));
    return values[at];
}

// krnotify in a sandbox of its own (program folder with the host list, lock, frame channel,
// snapshot folder) with krnotify.perf on. Its log is collected line by line while the caller's
// event loop runs.
class ProgramRun
{
public:
    // ports: one host each, added to the host list in this order (host ids 1, 2, ...).
    ProgramRun(const QList<int>& ports, const QStringList& arguments,
               const QProcessEnvironment& screen)
    {
        const QString program = m_dir.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        for (const char* resource : {"KRNotify.StringTable", "NoImage.jpg"})
            QFile::copy(QStringLiteral(KRNOTIFY_RESOURCES "/") + QLatin1String(resource),
                        program + QLatin1Char('/') + QLatin1String(resource));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KRNOTIFY_PROGRAM_DIR"), program);
        env.insert(QStringLiteral("KRNOTIFY_LOCK_DIR"), m_dir.path());
        env.insert(QStringLiteral("KRNOTIFY_FRAME_NAME"), m_dir.filePath(QStringLiteral("frame")));
        env.insert(QStringLiteral("KRNOTIFY_SNAPSHOT_DIR"), m_dir.filePath(QStringLiteral("pic")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("krnotify.perf.debug=true"));
        for (const QString& name : screen.keys())
            env.insert(name, screen.value(name));
        int n = 0;
        for (int port : ports) {
            QProcess add;
            add.setProcessEnvironment(env);
            add.start(QStringLiteral(KRNOTIFY_EXE),
                      {QStringLiteral("--add-host"), QStringLiteral("Host %1").arg(++n),
                       QStringLiteral("127.0.0.1"), QString::number(port),
                       QStringLiteral("operator"), QStringLiteral("demo")});
            add.waitForFinished(30000);
        }
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] { Collect(); });
        m_process.start(QStringLiteral(KRNOTIFY_EXE), arguments);
        m_process.waitForStarted(30000);
    }
    ~ProgramRun() { Stop(); }

    // Ends the program as a session would (SIGTERM) and collects the rest of its log.
    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        m_process.waitForFinished(30000);
        Collect();
    }

    const QStringList& lines() const { return m_lines; }
    int Count(const QRegularExpression& pattern) const
    {
        return int(std::count_if(m_lines.begin(), m_lines.end(), [&](const QString& line) {
            return pattern.match(line).hasMatch();
        }));
    }
    // The first line matching the pattern, waiting for it up to timeoutMs.
    QRegularExpressionMatch WaitFor(const QRegularExpression& pattern, int timeoutMs)
    {
        QRegularExpressionMatch found;
        RunUntil(
            [&] {
                for (const QString& line : m_lines) {
                    found = pattern.match(line);
                    if (found.hasMatch())
                        return true;
                }
                return m_process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        return found;
    }
    // User and system CPU time of the program so far, in seconds.
    double CpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0.0;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            return 0.0;
        return double(fields[11].toLongLong() + fields[12].toLongLong()) / ::sysconf(_SC_CLK_TCK);
    }

private:
    void Collect()
    {
        m_pending += m_process.readAllStandardError();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_lines << QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
        }
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
};

// The decode-only baseline: the client control alone, logged in to each host as the program
// is. onMessage sees every message after the login reply, with the control to read its fields.
class BareClient
{
public:
    std::function<void(const QString& command, CTnClient& control)> onMessage;

    explicit BareClient(const QList<int>& ports)
    {
        QObject::connect(&m_control, &ClientControl::OnConnected, [this](long id) {
            m_control.SetIntField(QStringLiteral("VERSION"), 0x6000200);
            m_control.SetTextField(QStringLiteral("USERNAME"), QStringLiteral("operator"));
            m_control.SetTextField(QStringLiteral("PASSWORD"), QStringLiteral("demo"));
            m_control.SetIntField(QStringLiteral("KRREMOTE_TYPE"), 2);
            m_control.SendCommand(QStringLiteral("REMOTEMONITOR_LOGIN"), id);
        });
        QObject::connect(&m_control, &ClientControl::OnReceive,
                         [this](const QString& command, long) {
                             if (command == QLatin1String("REMOTEMONITOR_LOGIN")) {
                                 ++m_loggedIn;
                                 m_loginAtUs = PerfLog::NowUs();
                                 m_loginCpuUs = PerfLog::ThreadCpuUs();
                             } else if (onMessage) {
                                 onMessage(command, m_control);
                             }
                         });
        m_control.Initialize(0);
        for (int port : ports)
            m_control.Connect(QStringLiteral("127.0.0.1"), port);
    }

    int loggedIn() const { return m_loggedIn; }
    // When the (last) login reply was delivered: wall clock and this thread's CPU time.
    qint64 loginAtUs() const { return m_loginAtUs; }
    qint64 loginCpuUs() const { return m_loginCpuUs; }

private:
    CTnClient m_control;
    int m_loggedIn = 0;
    qint64 m_loginAtUs = 0;
    qint64 m_loginCpuUs = 0;
};

// Quiets the libraries' own debug output in the benchmark's process.
inline void QuietLogs()
{
    QLoggingCategory::setFilterRules(QStringLiteral("krnotify.*.debug=false"));
}

} // namespace Bench
