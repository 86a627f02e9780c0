#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// A date-time value as hosts send it: days since 1899-12-30 00:00 as a double, the fraction
// being the time of day, with a status. For negative values the integer part is the day and
// the absolute fraction the time of day (-1.25 is 1899-12-29 06:00). Calendar conversion
// covers 0100-01-01 to 9999-12-31 and rounds to the nearest second.
class COleDateTime
{
public:
    enum class Status
    {
        Valid,
        Invalid,
        Null
    };

    struct Fields
    {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
    };

    COleDateTime() = default; // 0.0, valid
    explicit COleDateTime(double days, Status status = Status::Valid)
        : m_days(days), m_status(status)
    {
    }

    static COleDateTime null() { return COleDateTime(0.0, Status::Null); }
    // Invalid when a field is out of range or the date lies outside the supported years.
    static COleDateTime fromFields(const Fields& fields);
    // The date and wall-clock time the value shows in its own time spec; milliseconds are kept
    // as a fraction. An invalid QDateTime gives an invalid value.
    static COleDateTime fromDateTime(const QDateTime& dateTime);
    static COleDateTime currentDateTime();

    double days() const { return m_days; }
    Status status() const { return m_status; }
    bool isValid() const { return m_status == Status::Valid; }
    void setDays(double days, Status status = Status::Valid)
    {
        m_days = days;
        m_status = status;
    }

    // Calendar fields of the value; false when the status is not valid or the value lies
    // outside the supported range (including NaN and infinities).
    bool toFields(Fields& fields) const;
    // The value as a date and time in the given spec; an invalid QDateTime when toFields fails.
    QDateTime toDateTime(Qt::TimeSpec spec = Qt::LocalTime) const;
    // Display text in the locale's short date and its time with seconds (no time zone): "" for
    // null, "Invalid DateTime" when the status is invalid or the conversion fails.
    QString toDisplayText(const QLocale& locale = QLocale()) const;
    // strftime-style text with %Y %m %d %H %M %S and %%; other characters are copied.
    // Empty when toFields fails.
    QString format(const QString& pattern) const;

    static QString invalidText();

private:
    double m_days = 0.0;
    Status m_status = Status::Valid;
};
