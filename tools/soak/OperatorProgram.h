#pragma once

#include <QFile>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <functional>

namespace Soak {

// The operator program (krnotify) as a child process in a private folder of its own, with its
// window shown and its performance log on. A program that ends by itself has crashed: it is
// counted and started again, so the soak goes on. Its standard error goes to a file and, line
// by line, to the reader given.
class OperatorProgram : public QObject
{
    Q_OBJECT

public:
    using LineReader = std::function<void(const QByteArray&)>;

    OperatorProgram(QString program, QString workDir, LineReader reader, QObject* parent = nullptr);
    ~OperatorProgram() override;

    // Appends a host to the program's host list (before start); its host id, or -1.
    int addHost(const QString& name, int port, const QString& user, const QString& password,
                QString* error);
    void start();
    // Ends it as the desktop session does (SIGTERM) and waits; the seconds it took, or -1 when
    // it had to be killed after timeoutMs.
    double stop(int timeoutMs);

    qint64 processId() const { return m_process.processId(); }
    int crashes() const { return m_crashes; }
    // Crash reports the program wrote (its Exception folder).
    int crashReports() const;
    // Where the program keeps its event pictures while it runs.
    QString snapshotFolder() const;

private:
    void readErrors();
    void ended(int exitCode, QProcess::ExitStatus status);

    QString m_program;
    QString m_workDir;
    LineReader m_reader;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QFile m_log;
    QByteArray m_partial;
    bool m_stopping = false;
    int m_crashes = 0;
};

} // namespace Soak
