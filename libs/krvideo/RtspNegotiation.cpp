#include "RtspNegotiation.h"

RtspRefusalMemory::Refused RtspRefusalMemory::lookup(const QString& url) const
{
    QMutexLocker lock(&m_mutex);
    return m_refused.value(url);
}

void RtspRefusalMemory::remember(const QString& url, Refused refused)
{
    QMutexLocker lock(&m_mutex);
    if (m_refused.size() < MaxCameras || m_refused.contains(url))
        m_refused.insert(url, refused);
}

RtspNegotiation::RtspNegotiation(const StreamTarget& target, bool backchannelUsable,
                                 std::shared_ptr<RtspRefusalMemory> memory)
    : m_url(target.url), m_backchannel(target.backchannel), m_transport(target.transport),
      m_backchannelUsable(backchannelUsable), m_memory(std::move(memory))
{
    m_request = startingRequest();
}

RtspRequest RtspNegotiation::startingRequest() const
{
    const RtspRefusalMemory::Refused known =
        m_memory ? m_memory->lookup(m_url) : RtspRefusalMemory::Refused{};
    RtspRequest request;
    request.backchannel =
        m_backchannel == BackchannelChoice::Always ||
        (m_backchannel == BackchannelChoice::Auto && m_backchannelUsable && !known.backchannel);
    request.tcp =
        m_transport == TransportChoice::Tcp || (m_transport == TransportChoice::Auto && !known.tcp);
    return request;
}

bool RtspNegotiation::refused(RtspRefusal what)
{
    if (what == RtspRefusal::Backchannel) {
        if (!m_request.backchannel || m_backchannel != BackchannelChoice::Auto)
            return false;
        m_request.backchannel = false;
        return true;
    }
    // Either transport may have been the first try (the other one worked before).
    if (m_transport != TransportChoice::Auto || m_otherTransportTried)
        return false;
    m_otherTransportTried = true;
    m_request.tcp = !m_request.tcp;
    return true;
}

void RtspNegotiation::played()
{
    if (!m_memory)
        return;
    const RtspRefusalMemory::Refused known = m_memory->lookup(m_url);
    RtspRefusalMemory::Refused learnt = known;
    if (m_backchannel == BackchannelChoice::Auto && m_backchannelUsable)
        learnt.backchannel = !m_request.backchannel;
    if (m_transport == TransportChoice::Auto)
        learnt.tcp = !m_request.tcp;
    if (learnt.backchannel != known.backchannel || learnt.tcp != known.tcp)
        m_memory->remember(m_url, learnt);
    m_otherTransportTried = false;
}

void RtspNegotiation::failed()
{
    m_otherTransportTried = false;
    m_request = startingRequest();
}
