#include "OperatorProgram.h"

#include "LineFollower.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextStream>

namespace Soak {

OperatorProgram::OperatorProgram(QString program, QString workDir, LineReader reader,
                                 QObject* parent)
    : QObject(parent), m_program(std::move(program)), m_workDir(std::move(workDir)),
      m_reader(std::move(reader)), m_environment(QProcessEnvironment::systemEnvironment()),
      m_log(QDir(m_workDir).filePath("krnotify.log"))
{
    // Everything the program shares with a KRNotify of the user's own, made private.
    const QDir work(m_workDir);
    for (const char* folder : {"program", "config", "state", "runtime"})
        work.mkpath(QLatin1String(folder));
    QFile::setPermissions(work.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert("XDG_RUNTIME_DIR", work.filePath("runtime"));
    m_environment.insert("KRNOTIFY_PROGRAM_DIR", work.filePath("program"));
    // The operator's options: an alarm sound for every event, ringing for five seconds (the
    // program's default is no sound).
    QFile options(work.filePath("program/KRNotify.ini"));
    if (options.open(QIODevice::WriteOnly))
        options.write("[General]\nInvokeAlarm=1\nWaveSelect=1\nDuration=5\n");
    m_environment.insert("XDG_CONFIG_HOME", work.filePath("config"));
    m_environment.insert("XDG_STATE_HOME", work.filePath("state"));
    m_environment.insert("KRNOTIFY_LOCK_DIR", m_workDir);
    m_environment.insert("KRNOTIFY_FRAME_NAME", work.filePath("KRNotifyMainFrame"));
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    m_environment.insert("QT_LOGGING_RULES", "krnotify.perf.debug=true");
    m_environment.insert("KRVIDEO_AUDIO_SINK", "fakesink");
    m_process.setProcessEnvironment(m_environment);
    connect(&m_process, &QProcess::readyReadStandardError, this, &OperatorProgram::readErrors);
    connect(&m_process, &QProcess::finished, this, &OperatorProgram::ended);
    m_log.open(QIODevice::WriteOnly | QIODevice::Append);
}

OperatorProgram::~OperatorProgram()
{
    if (m_process.state() != QProcess::NotRunning)
        stop(5000);
}

int OperatorProgram::addHost(const QString& name, int port, const QString& user,
                             const QString& password, QString* error)
{
    QProcess add;
    add.setProcessEnvironment(m_environment);
    add.start(m_program, {"--add-host", name, "127.0.0.1", QString::number(port), user, password});
    if (!add.waitForFinished(30000) || add.exitCode() != 0) {
        *error = QStringLiteral("krnotify --add-host failed: ") +
                 QString::fromUtf8(add.readAllStandardError());
        return -1;
    }
    static const QRegularExpression added(QStringLiteral("^host (\\d+) added"));
    const auto m = added.match(QString::fromUtf8(add.readAllStandardOutput()));
    if (!m.hasMatch()) {
        *error = QStringLiteral("krnotify --add-host did not name the host id");
        return -1;
    }
    return m.captured(1).toInt();
}

void OperatorProgram::start()
{
    m_stopping = false;
    m_process.start(m_program, {}); // no /minimize: the window is shown
}

double OperatorProgram::stop(int timeoutMs)
{
    m_stopping = true;
    if (m_process.state() == QProcess::NotRunning)
        return 0;
    QElapsedTimer took;
    took.start();
    m_process.terminate();
    if (m_process.waitForFinished(timeoutMs))
        return double(took.elapsed()) / 1000.0;
    m_process.kill();
    m_process.waitForFinished(5000);
    return -1;
}

int OperatorProgram::crashReports() const
{
    QDir reports(QDir(m_workDir).filePath("program/Exception"));
    return int(reports.entryList(QDir::Files).size());
}

QString OperatorProgram::snapshotFolder() const
{
    return QDir(m_environment.value("XDG_RUNTIME_DIR")).filePath("KRNotifyPic");
}

void OperatorProgram::readErrors()
{
    const QByteArray bytes = m_process.readAllStandardError();
    m_log.write(bytes);
    m_partial += bytes;
    for (const QByteArray& line : takeCompleteLines(m_partial))
        m_reader(line);
}

void OperatorProgram::ended(int exitCode, QProcess::ExitStatus status)
{
    readErrors();
    m_log.flush();
    if (m_stopping)
        return;
    ++m_crashes;
    QTextStream(stderr) << "soak: krnotify ended by itself ("
                        << (status == QProcess::CrashExit
                                ? QStringLiteral("crashed")
                                : QStringLiteral("exit code %1").arg(exitCode))
                        << "); starting it again" << Qt::endl;
    start();
}

} // namespace Soak
