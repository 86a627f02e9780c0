#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/socket.h>

class PollableFlag;

// One socket address, as connect() takes it.
struct SocketAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// Turns a host's address text into a socket address without making the caller wait for a
// name server that does not answer: numeric addresses are read at once; names are looked up on
// a thread of their own, and a caller whose flag is raised stops waiting at once (the lookup
// ends on its own later and its result is dropped). Callers asking for the same name while it
// is being looked up share that one lookup, so a silent name server costs one thread per name,
// not one per download. Thread-safe.
class NameResolver
{
public:
    // A blocking look-up of a host name: its addresses, best first; empty when it has none.
    using Lookup = std::function<std::vector<SocketAddress>(const QByteArray& name)>;

    explicit NameResolver(Lookup lookup = SystemLookup);

    // The first IPv4 address of host (else its first address) with port, or nothing when the
    // host has no address or cancel was raised first.
    std::optional<SocketAddress> Resolve(const QString& host, quint16 port,
                                         const PollableFlag& cancel);

    // The system's resolver (getaddrinfo).
    static std::vector<SocketAddress> SystemLookup(const QByteArray& name);

private:
    struct Pending;
    std::shared_ptr<Pending> JoinLookup(const QByteArray& name);

    const Lookup m_lookup;
    std::mutex m_mutex;
    std::map<QByteArray, std::shared_ptr<Pending>> m_pending; // by name; kept when done
};
