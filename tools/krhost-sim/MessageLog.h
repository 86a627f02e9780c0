#pragma once

#include "tnclient/TnWire.h"

#include <QFile>
#include <QJsonObject>

// JSON lines about what a host saw and did: time, host, port, connection, then the members of
// the line. --log holds the messages received; --trace also the messages sent ("dir" "in" or
// "out"), the faults and the ends of connections, in the order they happened.
class MessageLog
{
public:
    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_file.isOpen(); }
    // A message received or sent; direction (when given) becomes the line's "dir".
    void write(const QString& host, int port, int connection, const TnWire::Message& message,
               const char* direction = nullptr);
    // Any other line: the given members after time, host, port and connection.
    void note(const QString& host, int port, int connection, const QJsonObject& members);

private:
    QFile m_file;
};
