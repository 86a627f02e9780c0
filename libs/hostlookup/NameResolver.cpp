#include "hostlookup/NameResolver.h"

#include <QLoggingCategory>

#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <system_error>
#include <thread>

Q_LOGGING_CATEGORY(lcHostLookup, "krnotify.hostlookup")

namespace {

std::vector<SocketAddress> AddressesOf(const QByteArray& text, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    std::vector<SocketAddress> addresses;
    if (::getaddrinfo(text.constData(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    return addresses;
}

} // namespace

std::vector<SocketAddress> NameResolver::Pending::addresses() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_found;
}

void NameResolver::Pending::Finish(std::vector<SocketAddress> found)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_found = std::move(found);
    }
    m_done.Raise();
}

NameResolver::NameResolver(Lookup lookup) : m_lookup(std::move(lookup)) {}

std::vector<SocketAddress> NameResolver::SystemLookup(const QByteArray& name)
{
    return AddressesOf(name, 0);
}

std::optional<SocketAddress> NameResolver::Choose(const std::vector<SocketAddress>& addresses,
                                                  quint16 port)
{
    if (addresses.empty())
        return std::nullopt;
    SocketAddress chosen = addresses.front();
    for (const SocketAddress& a : addresses) {
        if (a.family() == AF_INET) {
            chosen = a;
            break;
        }
    }
    if (chosen.family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&chosen.storage)->sin_port = htons(port);
    else if (chosen.family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&chosen.storage)->sin6_port = htons(port);
    else
        return std::nullopt;
    return chosen;
}

std::shared_ptr<const NameResolver::Pending> NameResolver::Start(const QString& host)
{
    const QByteArray name = host.toLocal8Bit();
    if (name.isEmpty() || name.contains('\0')) {
        auto none = std::make_shared<Pending>();
        none->Finish({});
        return none;
    }
    std::vector<SocketAddress> numeric = AddressesOf(name, AI_NUMERICHOST);
    if (!numeric.empty()) {
        auto done = std::make_shared<Pending>();
        done->Finish(std::move(numeric));
        return done;
    }

    const std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<Pending>& slot = m_pending[name];
    if (slot && !slot->done().isRaised())
        return slot;
    auto pending = std::make_shared<Pending>();
    try {
        // The thread owns what it touches; nobody waits for it to end.
        std::thread([pending, lookup = m_lookup, name] { pending->Finish(lookup(name)); }).detach();
    } catch (const std::system_error& error) {
        qCWarning(lcHostLookup) << "no thread to look up" << name << error.what();
        pending->Finish({});
    }
    slot = pending;
    return pending;
}

std::optional<SocketAddress> NameResolver::Resolve(const QString& host, quint16 port,
                                                   const PollableFlag& cancel)
{
    const std::shared_ptr<const Pending> pending = Start(host);
    if (cancel.Wait(pending->done()) != PollableFlag::Wake::Ready)
        return std::nullopt; // the lookup goes on unobserved
    return Choose(pending->addresses(), port);
}
