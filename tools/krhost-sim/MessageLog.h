#pragma once

#include "tnclient/TnWire.h"

#include <QFile>

// One JSON line per message a host received: time, host, port, connection, command, fields.
class MessageLog
{
public:
    bool open(const QString& path, QString* error);
    void write(const QString& host, int port, int connection, const TnWire::Message& message);

private:
    QFile m_file;
};
