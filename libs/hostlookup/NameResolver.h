#pragma once

#include "hostlookup/PollableFlag.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/socket.h>

// One socket address, as connect() takes it.
struct SocketAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// Turns a host's address text into socket addresses without making anyone wait for a name
// server that does not answer: numeric addresses are read at once; names are looked up on a
// thread of their own, which nobody waits for. A caller may stop waiting at any time (the
// lookup ends on its own later and its result is dropped), and nothing waits for it when the
// program ends. Callers asking for the same name while it is being looked up share that one
// lookup, so a silent name server costs one thread per name, not one per connection.
// Thread-safe.
class NameResolver
{
public:
    // A blocking look-up of a host name: its addresses, best first; empty when it has none.
    using Lookup = std::function<std::vector<SocketAddress>(const QByteArray& name)>;

    // A look-up under way or done: done() is raised once addresses() holds its result.
    class Pending
    {
    public:
        const PollableFlag& done() const { return m_done; }
        std::vector<SocketAddress> addresses() const;

    private:
        friend class NameResolver;
        void Finish(std::vector<SocketAddress> found);

        PollableFlag m_done;
        mutable std::mutex m_mutex;
        std::vector<SocketAddress> m_found;
    };

    explicit NameResolver(Lookup lookup = SystemLookup);

    // Starts the look-up of host, or joins the one under way; a numeric address (and a text
    // that cannot be a name) is done at once.
    std::shared_ptr<const Pending> Start(const QString& host);
    // Waits for the look-up of host: its first IPv4 address (else its first address) with
    // port, or nothing when it has none or cancel was raised first.
    std::optional<SocketAddress> Resolve(const QString& host, quint16 port,
                                         const PollableFlag& cancel);

    // The first IPv4 address of addresses (else the first IPv6 one) with port.
    static std::optional<SocketAddress> Choose(const std::vector<SocketAddress>& addresses,
                                               quint16 port);
    // The system's resolver (getaddrinfo).
    static std::vector<SocketAddress> SystemLookup(const QByteArray& name);

private:
    const Lookup m_lookup;
    std::mutex m_mutex;
    std::map<QByteArray, std::shared_ptr<Pending>> m_pending; // by name; kept when done
};
