#include "harness/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The audit trail of a real operator window against the host simulator: processed, the host's
// confirmation and unlock each leave exactly one line with the right fields, and killing the
// program right after the unlock (SIGKILL, no chance to flush anything) loses no line and
// leaves none cut.

namespace {

constexpr int kWait = 30000; // generous for a loaded 2-core machine; only failures wait this long

const char kScenario[] = R"({
  "name": "Audit Site", "key": 4660, "version": "0x4030000",
  "users": [ { "name": "operator", "password": "demo", "privilege": "0x2080", "rights": "all" } ],
  "groups": [ { "id": 1, "name": "HQ" } ],
  "controllers": [
    { "id": 1, "group": 1, "type": 1, "name": "Lobby", "status": 6,
      "doors": [ { "id": 0, "name": "Loading Dock", "status": "0x1000" } ] } ],
  "timeline": [
    { "at": 0.5, "every": 0.5, "count": 4, "do": "event", "controller": 1, "door": 0,
      "message": 18 } ]
})";

// The operator program's lines, read as they come: "processed 3" -> {"processed", 3}.
class Operator
{
public:
    bool start(int port, const QString& hostList, const QString& work)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KRNOTIFY_STATE_DIR"), work + QStringLiteral("/state"));
        env.insert(QStringLiteral("KRNOTIFY_SNAPSHOT_DIR"), work + QStringLiteral("/pictures"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(AUDIT_OPERATOR_PATH), {QString::number(port), hostList});
        return m_process.waitForStarted(kWait);
    }
    // The log id of the step once the program reports it; -1 when it never does.
    int waitFor(const QByteArray& step)
    {
        while (m_process.state() == QProcess::Running) {
            while (m_process.canReadLine()) {
                const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
                if (words.size() == 2 && words[0] == step)
                    return words[1].toInt();
            }
            if (!m_process.waitForReadyRead(kWait))
                return -1;
        }
        return -1;
    }
    void killNow()
    {
        m_process.kill(); // SIGKILL
        m_process.waitForFinished(kWait);
    }
    ~Operator() { killNow(); }

private:
    QProcess m_process;
};

QList<QJsonObject> WholeLines(const QString& folder, int* cutLines)
{
    QList<QJsonObject> lines;
    *cutLines = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*.jsonl"}, QDir::Files)) {
        QFile in(file.filePath());
        if (!in.open(QIODevice::ReadOnly))
            continue;
        const QByteArray all = in.readAll();
        if (!all.isEmpty() && !all.endsWith('\n'))
            ++*cutLines;
        for (const QByteArray& line : all.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonDocument parsed = QJsonDocument::fromJson(line);
            if (parsed.isObject())
                lines << parsed.object();
            else
                ++*cutLines;
        }
    }
    return lines;
}

QList<QJsonObject> Lines(const QList<QJsonObject>& all, const char* action, int logId)
{
    QList<QJsonObject> out;
    for (const QJsonObject& line : all) {
        if (line.value(QLatin1String("action")).toString() == QLatin1String(action) &&
            line.value(QLatin1String("logId")).toInt() == logId)
            out << line;
    }
    return out;
}

QString Text(const QJsonObject& line, const char* key)
{
    return line.value(QLatin1String(key)).toString();
}

} // namespace

class TestAuditFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void actionsLeaveOneWholeLineEach();
};

void TestAuditFlow::actionsLeaveOneWholeLineEach()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scenario = dir.filePath(QStringLiteral("scenario.json"));
    QFile file(scenario);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kScenario);
    file.close();
    SimProcess sim;
    QVERIFY(sim.start(1, {"--scenario", scenario}));

    Operator op;
    QVERIFY(op.start(sim.ports[0], dir.filePath(QStringLiteral("hosts")), dir.path()));
    const int processed = op.waitFor("processed");
    QVERIFY(processed > 0);
    QCOMPARE(op.waitFor("confirmed"), processed);
    const int unlocked = op.waitFor("unlocked");
    QVERIFY(unlocked > processed);
    op.killNow(); // right after the unlock

    int cut = 0;
    const QList<QJsonObject> all = WholeLines(dir.filePath(QStringLiteral("state/Audit")), &cut);
    QCOMPARE(cut, 0);

    const QList<QJsonObject> processedLines = Lines(all, "processed", processed);
    QCOMPARE(processedLines.size(), 1);
    const QJsonObject& p = processedLines[0];
    QCOMPARE(Text(p, "outcome"), QStringLiteral("sent"));
    QCOMPARE(Text(p, "doorOperation"), QStringLiteral("sent"));
    QCOMPARE(Text(p, "host"), QStringLiteral("Audit Site"));
    QCOMPARE(p.value(QLatin1String("hostId")).toInt(), 1);
    QCOMPARE(Text(p, "user"), QStringLiteral("operator"));
    QCOMPARE(Text(p, "controller"), QStringLiteral("Lobby"));
    QCOMPARE(Text(p, "door"), QStringLiteral("Loading Dock"));
    QCOMPARE(p.value(QLatin1String("logType")).toInt(), 2);
    QCOMPARE(Text(p, "severity"), QStringLiteral("alarm")); // message 18 = 0x12, forced open

    const QList<QJsonObject> confirmed = Lines(all, "host confirmed handled", processed);
    QCOMPARE(confirmed.size(), 1);
    QCOMPARE(Text(confirmed[0], "outcome"), QStringLiteral("done"));
    QCOMPARE(Text(confirmed[0], "door"), QStringLiteral("Loading Dock"));

    const QList<QJsonObject> unlock = Lines(all, "unlock", unlocked);
    QCOMPARE(unlock.size(), 1);
    QCOMPARE(Text(unlock[0], "outcome"), QStringLiteral("sent"));
    QCOMPARE(Text(unlock[0], "door"), QStringLiteral("Loading Dock"));
    QCOMPARE(Text(unlock[0], "controller"), QStringLiteral("Lobby"));
    QCOMPARE(Text(unlock[0], "host"), QStringLiteral("Audit Site"));
    QCOMPARE(Text(unlock[0], "processed"), QStringLiteral("sent"));
    QVERIFY(Text(unlock[0], "time") >= Text(p, "time"));
}

QTEST_GUILESS_MAIN(TestAuditFlow)
#include "tst_AuditFlow.moc"
