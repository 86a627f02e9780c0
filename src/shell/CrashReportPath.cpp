#include "shell/CrashReportPath.h"

#include <QDir>

QString CrashReportPath::timeText(std::time_t seconds)
{
    std::tm local = {};
    if (localtime_r(&seconds, &local) == nullptr)
        return QStringLiteral("Invalid DateTime");
    const int year = local.tm_year + 1900;
    // These are the times a date-time value cannot hold or give back unchanged.
    if (year < 100 || year > 9999 || local.tm_sec > 59)
        return QStringLiteral("Invalid DateTime");
    return QStringLiteral("%1%2%3%4%5%6")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(local.tm_mon + 1, 2, 10, QLatin1Char('0'))
        .arg(local.tm_mday, 2, 10, QLatin1Char('0'))
        .arg(local.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(local.tm_min, 2, 10, QLatin1Char('0'))
        .arg(local.tm_sec, 2, 10, QLatin1Char('0'));
}

QString CrashReportPath::prepare(const QString& folder, std::time_t seconds)
{
    const QString exceptionFolder = folder + QLatin1String("/Exception");
    QDir().mkpath(exceptionFolder);
    return exceptionFolder + QLatin1String("/KRNotify_") + timeText(seconds) +
           QLatin1String(".dmp");
}
