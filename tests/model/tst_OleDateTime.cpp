#include "ModelTests.h"

#include "model/OleDateTime.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
QString fieldsText(const COleDateTime::Fields& f)
{
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                             f.minute, f.second);
}
} // namespace

class TestOleDateTime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toFields_data();
    void toFields();
    void fromFields_data();
    void fromFields();
    void qtDateTimeConversions();
    void displayText();
    void displayTextKeepsSecondsInEveryLocale_data();
    void displayTextKeepsSecondsInEveryLocale();
    void format();
};

void TestOleDateTime::toFields_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("expected"); // empty: the conversion fails
    QTest::newRow("epoch") << 0.0 << "1899-12-30 00:00:00";
    QTest::newRow("one and a half") << 1.5 << "1899-12-31 12:00:00";
    QTest::newRow("2000-01-01") << 36526.0 << "2000-01-01 00:00:00";
    QTest::newRow("-1.25: day before, time forward") << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("-0.5 same as 0.5") << -0.5 << "1899-12-30 12:00:00";
    QTest::newRow("-2.75") << -2.75 << "1899-12-28 18:00:00";
    QTest::newRow("0.6 s rounds up") << 0.6 / 86400 << "1899-12-30 00:00:01";
    QTest::newRow("0.4 s rounds down") << 0.4 / 86400 << "1899-12-30 00:00:00";
    QTest::newRow("rounds into next day") << 1.0 - 0.3 / 86400 << "1899-12-31 00:00:00";
    QTest::newRow("negative rounds into next day")
        << -1.0 - (1.0 - 0.3 / 86400) << "1899-12-30 00:00:00";
    QTest::newRow("lowest") << -657434.0 << "0100-01-01 00:00:00";
    QTest::newRow("lowest day, later time") << -657434.5 << "0100-01-01 12:00:00";
    QTest::newRow("highest") << 2958465.99999 << "9999-12-31 23:59:59";
    QTest::newRow("below range") << -657435.0 << "";
    QTest::newRow("above range") << 2958466.0 << "";
    QTest::newRow("rounds past the highest") << 2958465.999999 << "";
    QTest::newRow("huge") << 1e300 << "";
    QTest::newRow("-huge") << -1e300 << "";
    QTest::newRow("NaN") << std::nan("") << "";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "";
}

void TestOleDateTime::toFields()
{
    QFETCH(double, days);
    QFETCH(QString, expected);
    COleDateTime::Fields fields;
    const bool converted = COleDateTime(days).toFields(fields);
    QCOMPARE(converted, !expected.isEmpty());
    if (converted)
        QCOMPARE(fieldsText(fields), expected);
    QVERIFY(!COleDateTime(days, COleDateTime::Status::Invalid).toFields(fields));
    QVERIFY(!COleDateTime(days, COleDateTime::Status::Null).toFields(fields));
}

void TestOleDateTime::fromFields_data()
{
    QTest::addColumn<QList<int>>("fields");
    QTest::addColumn<double>("days"); // NaN: the value is invalid
    const double invalid = std::nan("");
    QTest::newRow("epoch") << QList<int>{1899, 12, 30, 0, 0, 0} << 0.0;
    QTest::newRow("before the epoch") << QList<int>{1899, 12, 29, 6, 0, 0} << -1.25;
    QTest::newRow("2000-01-01 18:00") << QList<int>{2000, 1, 1, 18, 0, 0} << 36526.75;
    QTest::newRow("lowest") << QList<int>{100, 1, 1, 0, 0, 0} << -657434.0;
    QTest::newRow("highest") << QList<int>{9999, 12, 31, 23, 59, 59} << 2958465.0 + 86399.0 / 86400;
    QTest::newRow("year 99") << QList<int>{99, 12, 31, 0, 0, 0} << invalid;
    QTest::newRow("year 10000") << QList<int>{10000, 1, 1, 0, 0, 0} << invalid;
    QTest::newRow("month 13") << QList<int>{2020, 13, 1, 0, 0, 0} << invalid;
    QTest::newRow("February 30") << QList<int>{2020, 2, 30, 0, 0, 0} << invalid;
    QTest::newRow("hour 24") << QList<int>{2020, 1, 1, 24, 0, 0} << invalid;
    QTest::newRow("second 60") << QList<int>{2020, 1, 1, 0, 0, 60} << invalid;
    QTest::newRow("negative minute") << QList<int>{2020, 1, 1, 0, -1, 0} << invalid;
}

void TestOleDateTime::fromFields()
{
    QFETCH(QList<int>, fields);
    QFETCH(double, days);
    const COleDateTime::Fields in{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    const COleDateTime value = COleDateTime::fromFields(in);
    if (std::isnan(days)) {
        QCOMPARE(value.status(), COleDateTime::Status::Invalid);
        return;
    }
    QVERIFY(value.isValid());
    QVERIFY(std::fabs(value.days() - days) < 1e-9);
    COleDateTime::Fields back;
    QVERIFY(value.toFields(back));
    QCOMPARE(fieldsText(back), fieldsText(in));
}

void TestOleDateTime::qtDateTimeConversions()
{
    const QDateTime dateTime(QDate(2021, 3, 4), QTime(5, 6, 7, 600), Qt::UTC);
    const COleDateTime value = COleDateTime::fromDateTime(dateTime);
    QVERIFY(value.isValid());
    QCOMPARE(value.toDateTime(Qt::UTC), QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8), Qt::UTC));
    QCOMPARE(COleDateTime::fromDateTime(QDateTime()).status(), COleDateTime::Status::Invalid);
    QCOMPARE(COleDateTime::fromDateTime(QDateTime(QDate(50, 1, 1), QTime(0, 0), Qt::UTC)).status(),
             COleDateTime::Status::Invalid);
    QVERIFY(!COleDateTime(1e9).toDateTime().isValid());
    QVERIFY(COleDateTime::currentDateTime().isValid());
}

void TestOleDateTime::displayText()
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QString invalid = QStringLiteral("Invalid DateTime");
    QCOMPARE(COleDateTime::null().toDisplayText(english), QString());
    QCOMPARE(COleDateTime(36526.0, COleDateTime::Status::Invalid).toDisplayText(english), invalid);
    QCOMPARE(COleDateTime(-1e7).toDisplayText(english), invalid);
    QCOMPARE(COleDateTime(std::nan("")).toDisplayText(), invalid);
}

void TestOleDateTime::displayTextKeepsSecondsInEveryLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("morning");
    QTest::addColumn<QString>("afternoon");
    // No time zone (the host's wall-clock time), and no letter the locale's pattern does not
    // mean: zh_TW's day period is the locale's AM/PM text, not a literal "B".
    QTest::newRow("C") << "C"
                       << "10 Dec 2026 03:57:09"
                       << "4 Mar 2021 17:06:07";
    QTest::newRow("en_US") << "en_US"
                           << "12/10/26 3:57:09 AM"
                           << "3/4/21 5:06:07 PM";
    QTest::newRow("en_GB") << "en_GB"
                           << "10/12/2026 03:57:09"
                           << "04/03/2021 17:06:07";
    QTest::newRow("de_DE") << "de_DE"
                           << "10.12.26 03:57:09"
                           << "04.03.21 17:06:07";
    QTest::newRow("zh_TW") << "zh_TW" << QString::fromUtf8("2026/12/10 上午3:57:09")
                           << QString::fromUtf8("2021/3/4 下午5:06:07");
    QTest::newRow("he_IL") << "he_IL"
                           << "10.12.2026 3:57:09"
                           << "4.3.2021 17:06:07";
}

void TestOleDateTime::displayTextKeepsSecondsInEveryLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, morning);
    QFETCH(QString, afternoon);
    const QLocale qtLocale(locale);
    QCOMPARE(COleDateTime::fromFields({2026, 12, 10, 3, 57, 9}).toDisplayText(qtLocale), morning);
    QCOMPARE(COleDateTime::fromFields({2021, 3, 4, 17, 6, 7}).toDisplayText(qtLocale), afternoon);
}

void TestOleDateTime::format()
{
    const COleDateTime value = COleDateTime::fromFields({2021, 3, 4, 5, 6, 7});
    QCOMPARE(value.format(QStringLiteral("%Y%m%d%H%M%S")), QStringLiteral("20210304050607"));
    QCOMPARE(value.format(QStringLiteral("KRNotify_%Y-%m-%d %%x %q%")),
             QStringLiteral("KRNotify_2021-03-04 %x %q%"));
    QCOMPARE(COleDateTime::fromFields({100, 1, 1, 0, 0, 0}).format(QStringLiteral("%Y")),
             QStringLiteral("0100"));
    QCOMPARE(COleDateTime::null().format(QStringLiteral("%Y")), QString());
    QCOMPARE(COleDateTime(1e9).format(QStringLiteral("%Y")), QString());
}

int runOleDateTimeTests(int argc, char** argv)
{
    TestOleDateTime tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_OleDateTime.moc"
