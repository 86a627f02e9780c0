#include "events/AuditRecord.h"
#include "events/AuditTrail.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QDateTime At(int year, int month, int day, int h, int m, int s, int ms, int offsetSeconds = 3600)
{
    return QDateTime(QDate(year, month, day), QTime(h, m, s, ms), Qt::OffsetFromUTC, offsetSeconds);
}

QList<QByteArray> Lines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

mode_t ModeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class tst_AuditTrail : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineKeepsFieldOrderAndEscapesHostTexts();
    void oneFilePerLocalDayPrivate();
    void cutLastLineIsEndedBeforeTheNext();
    void neverWritesThroughASymbolicLink();
};

void tst_AuditTrail::lineKeepsFieldOrderAndEscapesHostTexts()
{
    QString hostText = QStringLiteral("Dock\n{\"action\":\"forged\"}");
    hostText += QChar(0);
    hostText += QStringLiteral("\r\tend");
    AuditRecord record(QStringLiteral("unlock"));
    record.Text(QLatin1String("outcome"), QStringLiteral("sent"))
        .Text(QLatin1String("door"), hostText)
        .Number(QLatin1String("logId"), 4294967296LL)
        .Text(QLatin1String("host"), QString(1000, QLatin1Char('h')));
    const QByteArray line = record.ToJsonLine(At(2024, 5, 1, 3, 45, 12, 7, -9000));

    QVERIFY(line.endsWith("}\n"));
    QCOMPARE(line.count('\n'), 1); // nothing a host sends breaks the line
    QVERIFY(!line.contains('\0') && !line.contains('\r'));
    QVERIFY(line.startsWith(R"({"time":"2024-05-01T03:45:12.007-02:30","action":"unlock",)"
                            R"("outcome":"sent","door":)"));
    QJsonParseError error;
    const QJsonObject parsed = QJsonDocument::fromJson(line, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(parsed.value(QLatin1String("door")).toString(), hostText);
    QCOMPARE(parsed.value(QLatin1String("logId")).toInteger(), 4294967296LL);
    const QString host = parsed.value(QLatin1String("host")).toString();
    QCOMPARE(host.size(), AuditRecord::kMaxTextChars);
    QVERIFY(host.endsWith(QChar(0x2026)));
}

void tst_AuditTrail::oneFilePerLocalDayPrivate()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Audit"));
    QDateTime now = At(2024, 5, 1, 23, 59, 59, 999);
    AuditTrail trail(folder, [&now] { return now; });
    QVERIFY(trail.Append(AuditRecord(QStringLiteral("stop ring"))));
    now = now.addMSecs(1);
    QVERIFY(trail.Append(AuditRecord(QStringLiteral("processed"))));
    QVERIFY(trail.Append(AuditRecord(QStringLiteral("unlock"))));
    trail.Sync();

    const QString first = QDir(folder).filePath(QStringLiteral("20240501.jsonl"));
    const QString second = QDir(folder).filePath(QStringLiteral("20240502.jsonl"));
    QCOMPARE(trail.FileOf(QDate(2024, 5, 2)), second);
    QCOMPARE(Lines(first).size(), 1);
    const QList<QByteArray> next = Lines(second);
    QCOMPARE(next.size(), 2);
    QVERIFY(next[0].startsWith(R"({"time":"2024-05-02T00:00:00.000+01:00","action":"processed")"));
    QCOMPARE(ModeOf(folder), mode_t(0700));
    QCOMPARE(ModeOf(first), mode_t(0600));
    QCOMPARE(ModeOf(second), mode_t(0600));
}

void tst_AuditTrail::cutLastLineIsEndedBeforeTheNext()
{
    QTemporaryDir dir;
    const QDateTime now = At(2024, 5, 1, 12, 0, 0, 0);
    {
        AuditTrail trail(dir.path(), [&now] { return now; });
        QVERIFY(trail.Append(AuditRecord(QStringLiteral("processed"))));
    }
    const QString path = QDir(dir.path()).filePath(QStringLiteral("20240501.jsonl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(R"({"time":"2024-05-01T12:00:00.500+01:00","act)"); // killed mid-write
    file.close();
    ::chmod(QFile::encodeName(path).constData(), 0644);

    AuditTrail trail(dir.path(), [&now] { return now; });
    QVERIFY(trail.Append(AuditRecord(QStringLiteral("unlock"))));
    const QList<QByteArray> lines = Lines(path);
    QCOMPARE(lines.size(), 3);
    QVERIFY(QJsonDocument::fromJson(lines[0]).isObject());
    QVERIFY(!QJsonDocument::fromJson(lines[1]).isObject());
    QCOMPARE(QJsonDocument::fromJson(lines[2]).object().value(QLatin1String("action")).toString(),
             QStringLiteral("unlock"));
    QCOMPARE(ModeOf(path), mode_t(0600)); // a file made readable by others is made private
}

void tst_AuditTrail::neverWritesThroughASymbolicLink()
{
    QTemporaryDir dir;
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Audit"))));
    QVERIFY(QFile::link(elsewhere, dir.filePath(QStringLiteral("Audit/20240501.jsonl"))));
    const QDateTime now = At(2024, 5, 1, 12, 0, 0, 0);
    AuditTrail trail(dir.filePath(QStringLiteral("Audit")), [&now] { return now; });
    QVERIFY(!trail.Append(AuditRecord(QStringLiteral("unlock"))));
    QVERIFY(!QFile::exists(elsewhere));
}

QTEST_GUILESS_MAIN(tst_AuditTrail)
#include "tst_AuditTrail.moc"
