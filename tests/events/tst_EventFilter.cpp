#include "EventFixture.h"
#include "events/EventFilter.h"

#include <QtTest>

// The list's filter: free text over message, door, input, controller and host, and "only new".

class tst_EventFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data();
    void matches();
};

void tst_EventFilter::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("onlyNew");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("shown");
    QTest::newRow("empty filter") << "" << false << 2 << true;
    QTest::newRow("blanks are empty") << "   " << false << 2 << true;
    QTest::newRow("door, any case") << "fRoNt" << false << 0 << true;
    QTest::newRow("controller") << "lobby" << false << 0 << true;
    QTest::newRow("host") << "warehouse" << false << 0 << true;
    QTest::newRow("message") << "forced" << false << 0 << true;
    QTest::newRow("every word somewhere") << "forced warehouse" << false << 0 << true;
    QTest::newRow("one word nowhere") << "forced garage" << false << 0 << false;
    QTest::newRow("not there") << "garage" << false << 0 << false;
    QTest::newRow("only new: new") << "" << true << 0 << true;
    QTest::newRow("only new: handling") << "" << true << 1 << false;
    QTest::newRow("only new: handled, text matches") << "front" << true << 2 << false;
}

void tst_EventFilter::matches()
{
    QFETCH(QString, text);
    QFETCH(bool, onlyNew);
    QFETCH(int, state);
    QFETCH(bool, shown);
    EventFixture f;
    CKRHost& host = f.siteHost(1);
    host.name = QStringLiteral("Warehouse North");
    f.notify(host, 7);
    f.eventLog(host, 7, {{"M_ID", 0x12}}); // door forced open
    EVENT* e = f.model.eventAt(0);
    e->state = state;
    EventFilter filter;
    filter.setText(text);
    filter.setOnlyNew(onlyNew);
    QCOMPARE(filter.Matches(f.manager, *e), shown);
}

QTEST_GUILESS_MAIN(tst_EventFilter)
#include "tst_EventFilter.moc"
