#pragma once

#include <QLoggingCategory>
#include <QStringList>

// While it lives, the krnotify.perf category is on and what it logs is collected instead of
// printed.
class PerfLogCapture
{
public:
    PerfLogCapture()
    {
        lines().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("krnotify.perf.debug=true"));
        m_previous = qInstallMessageHandler(&collect);
    }
    ~PerfLogCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    PerfLogCapture(const PerfLogCapture&) = delete;
    PerfLogCapture& operator=(const PerfLogCapture&) = delete;

    const QStringList& logged() const { return lines(); }

private:
    static QStringList& lines()
    {
        static QStringList collected;
        return collected;
    }
    static void collect(QtMsgType, const QMessageLogContext& context, const QString& text)
    {
        if (QLatin1String(context.category) == QLatin1String("krnotify.perf"))
            lines() << text;
    }

    QtMessageHandler m_previous;
};
