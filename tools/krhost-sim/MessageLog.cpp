#include "MessageLog.h"

#include <QDateTime>
#include <QJsonDocument>

bool MessageLog::open(const QString& path, QString* error)
{
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
    return false;
}

void MessageLog::write(const QString& host, int port, int connection,
                       const TnWire::Message& message, const char* direction)
{
    QJsonObject members{{QStringLiteral("cmd"), message.command},
                        {QStringLiteral("fields"), TnWire::fieldsToJson(message.fields)}};
    if (direction)
        members.insert(QStringLiteral("dir"), QLatin1String(direction));
    note(host, port, connection, members);
}

void MessageLog::note(const QString& host, int port, int connection, const QJsonObject& members)
{
    if (!m_file.isOpen())
        return;
    QJsonObject line{
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("host"), host},
        {QStringLiteral("port"), port},
        {QStringLiteral("conn"), connection}};
    for (auto it = members.begin(); it != members.end(); ++it)
        line.insert(it.key(), it.value());
    m_file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush(); // readers (tests, tail -f) see each line at once
}
