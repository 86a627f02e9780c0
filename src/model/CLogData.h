#pragma once

#include <QString>

// A log record received from a host.
class CLogData
{
public:
    virtual ~CLogData();
    // The operator-readable text of the record's message.
    virtual QString GetMessageText() const = 0;
};
