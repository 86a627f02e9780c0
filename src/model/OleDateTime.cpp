#include "model/OleDateTime.h"

#include <cmath>

namespace {
constexpr qint64 kSecondsPerDay = 86400;

// Day 0 of the value is 1899-12-30.
qint64 epochJulianDay()
{
    return QDate(1899, 12, 30).toJulianDay();
}

bool inSupportedYears(const QDate& date)
{
    return date.isValid() && date.year() >= 100 && date.year() <= 9999;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A locale's date or time pattern reduced to the fields Qt formats. Qt 6.4 copies some CLDR
// patterns as they are: the day period "B" (zh_TW "Bh:mm:ss") is no Qt field and would show as a
// literal letter, so it becomes Qt's AM/PM field; the time zone ("t", often in brackets) is
// dropped, since an event time is the host's wall-clock time; other unknown letters go too.
QString qtFieldsOnly(const QString& pattern)
{
    QString out;
    bool dayPeriod = false;
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = pattern.at(i);
        if (c == u'\'') { // quoted literal text, kept with its quotes
            qsizetype end = i + 1;
            while (end < n && pattern.at(end) != u'\'')
                ++end;
            out += pattern.mid(i, end + 1 - i);
            i = end + 1;
            continue;
        }
        if (!isAsciiLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && pattern.at(end) == c)
            ++end;
        if (QStringView(u"dMyhHmsz").contains(c)) {
            out += pattern.mid(i, end - i);
        } else if ((c == u'a' || c == u'A' || c == u'B' || c == u'b') && !dayPeriod) {
            dayPeriod = true;
            if (c == u'a' || c == u'A') {
                // "AP" / "ap" is one field
                if (end < n && (pattern.at(end) == u'p' || pattern.at(end) == u'P'))
                    ++end;
                out += pattern.mid(i, end - i);
            } else {
                out += QLatin1String("AP");
            }
        }
        i = end;
    }
    out.remove(QLatin1String("[]"));
    out.remove(QLatin1String("()"));
    return out.trimmed();
}
} // namespace

COleDateTime COleDateTime::fromFields(const Fields& f)
{
    const QDate date(f.year, f.month, f.day);
    if (!inSupportedYears(date) || f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59 ||
        f.second < 0 || f.second > 59)
        return COleDateTime(0.0, Status::Invalid);
    const double day = double(date.toJulianDay() - epochJulianDay());
    const double time = double(f.hour * 3600 + f.minute * 60 + f.second) / kSecondsPerDay;
    // Before the epoch the time of day still counts forward from the day's start.
    return COleDateTime(day >= 0 ? day + time : day - time);
}

COleDateTime COleDateTime::fromDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return COleDateTime(0.0, Status::Invalid);
    const QDate date = dateTime.date();
    if (!inSupportedYears(date))
        return COleDateTime(0.0, Status::Invalid);
    const double day = double(date.toJulianDay() - epochJulianDay());
    const double time = dateTime.time().msecsSinceStartOfDay() / (kSecondsPerDay * 1000.0);
    return COleDateTime(day >= 0 ? day + time : day - time);
}

COleDateTime COleDateTime::currentDateTime()
{
    return fromDateTime(QDateTime::currentDateTime());
}

bool COleDateTime::toFields(Fields& fields) const
{
    // Anything past these bounds lies outside the supported years; the bounds also keep the
    // arithmetic below far from overflow and reject NaN.
    if (!isValid() || !(m_days > -657436.0 && m_days < 2958467.0))
        return false;
    double wholeDays = 0.0;
    const double fraction = std::fabs(std::modf(m_days, &wholeDays));
    qint64 seconds = std::llround(fraction * kSecondsPerDay);
    qint64 day = qint64(wholeDays);
    if (seconds >= kSecondsPerDay) { // rounded up into the next calendar day
        seconds -= kSecondsPerDay;
        ++day;
    }
    const QDate date = QDate::fromJulianDay(epochJulianDay() + day);
    if (!inSupportedYears(date))
        return false;
    fields.year = date.year();
    fields.month = date.month();
    fields.day = date.day();
    fields.hour = int(seconds / 3600);
    fields.minute = int(seconds / 60 % 60);
    fields.second = int(seconds % 60);
    return true;
}

QDateTime COleDateTime::toDateTime(Qt::TimeSpec spec) const
{
    Fields f;
    if (!toFields(f))
        return {};
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), spec);
}

QString COleDateTime::toDisplayText(const QLocale& locale) const
{
    if (m_status == Status::Null)
        return QString();
    Fields f;
    if (!toFields(f))
        return invalidText();
    // Events seconds apart must not look alike: the short date with the time to the second.
    return locale.toString(QDate(f.year, f.month, f.day),
                           qtFieldsOnly(locale.dateFormat(QLocale::ShortFormat))) +
           QLatin1Char(' ') +
           locale.toString(QTime(f.hour, f.minute, f.second),
                           qtFieldsOnly(locale.timeFormat(QLocale::LongFormat)));
}

QString COleDateTime::format(const QString& pattern) const
{
    Fields f;
    if (!toFields(f))
        return QString();
    QString text;
    text.reserve(pattern.size() + 16);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%') || i + 1 == pattern.size()) {
            text += c;
            continue;
        }
        const QChar spec = pattern.at(++i);
        switch (spec.unicode()) {
        case 'Y':
            text += QString::asprintf("%04d", f.year);
            break;
        case 'm':
            text += QString::asprintf("%02d", f.month);
            break;
        case 'd':
            text += QString::asprintf("%02d", f.day);
            break;
        case 'H':
            text += QString::asprintf("%02d", f.hour);
            break;
        case 'M':
            text += QString::asprintf("%02d", f.minute);
            break;
        case 'S':
            text += QString::asprintf("%02d", f.second);
            break;
        case '%':
            text += QLatin1Char('%');
            break;
        default:
            text += c;
            text += spec;
            break;
        }
    }
    return text;
}

QString COleDateTime::invalidText()
{
    return QStringLiteral("Invalid DateTime");
}
