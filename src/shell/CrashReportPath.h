#pragma once

#include <QString>

#include <ctime>

// Where this run's crash report goes: "<folder>/Exception/KRNotify_<yyyymmddhhmmss>.dmp",
// named once at start-up from the local time.
class CrashReportPath
{
public:
    // The local time as fourteen digits (year, month, day, hour, minute, second), or
    // "Invalid DateTime" when it has no valid date-time value: the conversion fails, or the
    // year lies outside 100..9999, or the seconds are a leap second (60).
    static QString timeText(std::time_t seconds);
    // Creates "<folder>/Exception" (with missing parents; a failure is ignored) and returns
    // the report path in it.
    static QString prepare(const QString& folder, std::time_t seconds);
};
