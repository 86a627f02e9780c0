#pragma once

#include "Scenario.h"
#include "tnclient/TnWire.h"

#include <QDateTime>

// The messages a host sends about its site, built from the scenario's model.
namespace Sim {

using TnWire::Message;

// Everything a monitor gets after logging in, in the order a host sends it.
QList<Message> configurationMessages(const Host& host);

Message hostParam(const Host& host);
Message allDeviceGroups(const Host& host);
Message ctrlParam(const Controller& c);
Message ctrlIoNames(const Controller& c);
Message inputParam(const Controller& c, const Input& in);
Message doorParam(const Controller& c, const Door& d);
Message ctrlStatus(const Controller& c);
Message doorStatus(qint32 controller, qint32 door, qint32 status);
Message doorWorkMode(qint32 controller, qint32 door, qint32 workMode);
Message inputStatus(qint32 controller, qint32 input, qint32 active);
Message dvrParam(const Dvr& d);
Message dvrRemove(qint32 id);

// OLE Automation date of a moment, as UTC or as the host's local wall clock.
double oleDateUtc(const QDateTime& t);
double oleDateLocal(const QDateTime& t);

} // namespace Sim
