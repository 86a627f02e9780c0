#include "ModelTests.h"

#include "i18n/StringTable.h"
#include "model/CEventLogData.h"
#include "model/EventMessageKeys.h"

#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(COleDateTime)

class TestEventLogData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void messageKeys_data();
    void messageKeys();
    void everyListedIdHasItsKey();
    void snapshotFileName_data();
    void snapshotFileName();
    void cardBlockIsContiguous();
};

void TestEventLogData::defaults()
{
    const CEventLogData record(12);
    QCOMPARE(record.logId, 12);
    QCOMPARE(record.messageId, -1);
    QCOMPARE(record.messageContent, -1);
    QCOMPARE(record.controllerId, -1);
    QCOMPARE(record.doorId, -1);
    QVERIFY(record.localTime.isValid() && record.localTime.days() == 0.0);
    QVERIFY(record.utcTime.isValid() && record.utcTime.days() == 0.0);
    QVERIFY(std::all_of(record.card.begin(), record.card.end(), [](quint8 b) { return b == 0; }));
    const CLogData& base = record;
    QCOMPARE(base.GetMessageText(), CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_NA")));
}

void TestEventLogData::messageKeys_data()
{
    QTest::addColumn<qint32>("messageId");
    QTest::addColumn<QString>("key");
    QTest::newRow("0x2E alias") << 0x2E << "TAV_IDS_EVENT_MSG_21";
    QTest::newRow("0x2B") << 0x2B << "TAV_IDS_EVENT_MSG_2B";
    QTest::newRow("0x06 alias") << 0x06 << "TAV_IDS_EVENT_MSG_05";
    QTest::newRow("0x18 alias") << 0x18 << "TAV_IDS_EVENT_MSG_12";
    QTest::newRow("0x01 first") << 0x01 << "TAV_IDS_EVENT_MSG_01";
    QTest::newRow("0xC4 last") << 0xC4 << "TAV_IDS_EVENT_MSG_C4";
    QTest::newRow("0x16 unlisted") << 0x16 << "TAV_IDS_NA";
    QTest::newRow("-1 never set") << -1 << "TAV_IDS_NA";
    QTest::newRow("0 no event") << 0 << "TAV_IDS_NA";
    QTest::newRow("0xFFFF") << 0xFFFF << "TAV_IDS_NA";
    // Only ids 0 to 0xFFFF can match: no truncation to the low 16 bits.
    QTest::newRow("0x10005") << 0x10005 << "TAV_IDS_NA";
    QTest::newRow("-0xFFFB") << -0xFFFB << "TAV_IDS_NA";
}

void TestEventLogData::messageKeys()
{
    QFETCH(qint32, messageId);
    QFETCH(QString, key);
    QCOMPARE(eventMessageKey(messageId), key);
    CEventLogData record(1);
    record.messageId = messageId;
    QCOMPARE(record.GetMessageText(), CStringTable::Instance().GetText(key));
}

void TestEventLogData::everyListedIdHasItsKey()
{
    int ownKeys = 0;
    int aliases = 0;
    for (qint32 id = 0; id <= 0xFFFF; ++id) {
        const QString key = eventMessageKey(id);
        if (key == QStringLiteral("TAV_IDS_EVENT_MSG_") + QString::asprintf("%02X", unsigned(id)))
            ++ownKeys;
        else if (key != QStringLiteral("TAV_IDS_NA"))
            ++aliases;
    }
    QCOMPARE(ownKeys, 69);
    QCOMPARE(aliases, 6);
}

void TestEventLogData::snapshotFileName_data()
{
    const COleDateTime march4 = COleDateTime::fromFields({2021, 3, 4, 23, 59, 59});
    QTest::addColumn<COleDateTime>("utc");
    QTest::addColumn<qint32>("logId");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("expected");
    QTest::newRow("direction 1") << march4 << 7 << 1 << "20210304/EV.20210304.0000000007-2.jpg";
    QTest::newRow("direction 0") << march4 << 7 << 0 << "20210304/EV.20210304.0000000007-1.jpg";
    QTest::newRow("largest log id") << march4 << std::numeric_limits<qint32>::max() << 0
                                    << "20210304/EV.20210304.2147483647-1.jpg";
    QTest::newRow("epoch") << COleDateTime() << 1 << 0 << "18991230/EV.18991230.0000000001-1.jpg";
    QTest::newRow("beyond year 9999")
        << COleDateTime(3.0e6) << 7 << 0 << "-001-1-1/EV.-001-1-1.0000000007-1.jpg";
    QTest::newRow("not a number") << COleDateTime(std::nan("")) << 7 << 1
                                  << "-001-1-1/EV.-001-1-1.0000000007-2.jpg";
    QTest::newRow("status invalid")
        << COleDateTime(44259.0, COleDateTime::Status::Invalid) << 7 << 0 << QString();
    QTest::newRow("status null") << COleDateTime::null() << 7 << 0 << QString();
}

void TestEventLogData::snapshotFileName()
{
    QFETCH(COleDateTime, utc);
    QFETCH(qint32, logId);
    QFETCH(int, direction);
    QFETCH(QString, expected);
    CEventLogData record(logId);
    record.utcTime = utc;
    QCOMPARE(record.GetSnapshotFileName(direction), expected);
}

void TestEventLogData::cardBlockIsContiguous()
{
    static_assert(sizeof(CEventLogData::CardBlock) == 9, "card bits and bytes form one block");
    CEventLogData record(1);
    record.setCardBits(0x1A5); // a received integer keeps its low byte
    for (int i = 0; i < 8; ++i)
        record.setCardByte(i, 0x100 + 0x10 * i);
    record.setCardByte(8, 0xEE);
    record.setCardByte(-1, 0xEE);
    const QByteArray block(reinterpret_cast<const char*>(record.cardData()), 9);
    QCOMPARE(block, QByteArray::fromHex("A50010203040506070"));
    QCOMPARE(record.cardBits(), quint8(0xA5));
    QCOMPARE(record.cardByte(7), quint8(0x70));
    QCOMPARE(record.cardByte(8), quint8(0));
}

int runEventLogDataTests(int argc, char** argv)
{
    TestEventLogData tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_EventLogData.moc"
