#include "events/EventRow.h"
#include "events/EventSeverity.h"
#include "model/EventMessageKeys.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_EventSeverity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shippedTableKnowsEveryMessage();
    void shippedTableGroups_data();
    void shippedTableGroups();
    void firstSectionWinsAndBadIdsAreSkipped();
    void rowFollowsItsShownText();
};

void tst_EventSeverity::shippedTableKnowsEveryMessage()
{
    const EventSeverityTable& table = EventSeverityTable::Instance();
    for (qint32 id = 0; id <= 0xFF; ++id) {
        const bool hasText = eventMessageKey(id) != QLatin1String("TAV_IDS_NA");
        QVERIFY2(table.Lists(id) == hasText, qPrintable(QString::number(id, 16)));
    }
}

void tst_EventSeverity::shippedTableGroups_data()
{
    QTest::addColumn<int>("messageId");
    QTest::addColumn<EventSeverity>("severity");
    QTest::newRow("forced") << 0x12 << EventSeverity::Alarm;
    QTest::newRow("forced alias") << 0x18 << EventSeverity::Alarm;
    QTest::newRow("held open") << 0x13 << EventSeverity::Alarm;
    QTest::newRow("duress") << 0x1B << EventSeverity::Alarm;
    QTest::newRow("tamper alias") << 0x2D << EventSeverity::Alarm;
    QTest::newRow("tamper restored alias") << 0x2C << EventSeverity::Information;
    QTest::newRow("card not registered") << 0x05 << EventSeverity::Refused;
    QTest::newRow("plate not registered") << 0xC4 << EventSeverity::Refused;
    QTest::newRow("granted") << 0x01 << EventSeverity::Information;
    QTest::newRow("unlocked") << 0x14 << EventSeverity::Information;
    QTest::newRow("unknown id") << 0x16 << EventSeverity::Alarm;
    QTest::newRow("no id") << -1 << EventSeverity::Alarm;
}

void tst_EventSeverity::shippedTableGroups()
{
    QFETCH(int, messageId);
    QFETCH(EventSeverity, severity);
    QCOMPARE(EventSeverityTable::Instance().Of(messageId), severity);
}

void tst_EventSeverity::firstSectionWinsAndBadIdsAreSkipped()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("severity.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[information]\nIds=0x10, 17 seven 0x12\n[REFUSED]\nIds=0x12,0x05\n");
    file.close();
    const EventSeverityTable table = EventSeverityTable::Load(path);
    QCOMPARE(table.Of(0x10), EventSeverity::Information);
    QCOMPARE(table.Of(17), EventSeverity::Information);
    QCOMPARE(table.Of(0x12), EventSeverity::Refused); // Refused comes before Information
    QCOMPARE(table.Of(0x05), EventSeverity::Refused);
    QVERIFY(!table.Lists(7));
    QCOMPARE(EventSeverityTable::Load(dir.filePath(QStringLiteral("missing.ini"))).Of(0x10),
             EventSeverity::Alarm);
}

void tst_EventSeverity::rowFollowsItsShownText()
{
    EVENT row;
    row.messageId = 0x01; // the notification said granted
    QCOMPARE(EventSeverityTable::Instance().Of(row), EventSeverity::Information);
    row.log = std::make_unique<CEventLogData>(1);
    row.log->messageId = 0x12; // the log record, whose text the row shows, says forced
    QCOMPARE(EventSeverityTable::Instance().Of(row), EventSeverity::Alarm);
}

QTEST_GUILESS_MAIN(tst_EventSeverity)
#include "tst_EventSeverity.moc"
