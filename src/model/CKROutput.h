#pragma once

#include <QString>

// An output of a controller (index 0 to 31), held by value in the controller's output map.
class CKROutput
{
public:
    CKROutput() = default;
    CKROutput(qint32 index, QString outputName) : outputIndex(index), name(std::move(outputName)) {}

    qint32 outputIndex = -1;
    QString name;
};
