#pragma once

#include <QString>

// A device group of a host's site; its id is the host's own.
class CDeviceGroup
{
public:
    explicit CDeviceGroup(qint32 id, QString groupName = QString())
        : groupId(id), name(std::move(groupName))
    {
    }

    qint32 groupId;
    QString name;
};
