#pragma once

#include "Scenario.h"
#include "tnclient/TnWire.h"

#include <QDateTime>

#include <deque>
#include <map>

// The messages a host sends about its site, built from the scenario's model.
namespace Sim {

using TnWire::Message;

// Everything a monitor gets after logging in, in the order a host sends it, made one message at
// a time: a site of any size is sent without holding all of it as messages. Works on its own
// copy of the site, so changes made meanwhile (sent as messages of their own) do not disturb it.
class ConfigurationStream
{
public:
    explicit ConfigurationStream(const Host& host);

    bool atEnd() const { return m_ready.empty(); }
    // The next message; only when !atEnd().
    Message next();

private:
    // Queues the messages that follow, a controller at a time.
    void refill();

    Host m_site;
    std::map<qint32, Controller>::const_iterator m_nextController;
    bool m_dvrsSent = false;
    std::deque<Message> m_ready;
};

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
