#pragma once
// What a camera stream asks an RTSP server for, and what it asks next when the server refuses:
// the ONVIF audio back channel (refused with "551 Option not supported" by servers without
// one) and RTP inside the RTSP connection (refused with "461 Unsupported transport" by servers
// that only send over UDP). A refusal is tried again at once without what was refused; what
// finally played is remembered for the session, so the next attempt at the same camera starts
// there. A choice forced by the profile is never given up.

#include "StreamProfiles.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <memory>

// One attempt's requests.
struct RtspRequest
{
    bool backchannel = false;
    bool tcp = true;
};

enum class RtspRefusal
{
    Backchannel,
    Transport
};

// What servers refused, as learnt from attempts that then played, by stream URL, for every stream
// of the library. Thread-safe: each stream negotiates on its own thread.
class RtspRefusalMemory
{
public:
    struct Refused
    {
        bool backchannel = false;
        bool tcp = false;
    };

    Refused lookup(const QString& url) const;
    void remember(const QString& url, Refused refused);

private:
    // Bounded: the URLs come from the hosts' recorder lists.
    static constexpr int MaxCameras = 4096;
    mutable QMutex m_mutex;
    QHash<QString, Refused> m_refused;
};

class RtspNegotiation
{
public:
    // backchannelUsable: this machine could talk through a back channel at all.
    RtspNegotiation(const StreamTarget& target, bool backchannelUsable,
                    std::shared_ptr<RtspRefusalMemory> memory);

    // What the next attempt asks for.
    RtspRequest request() const { return m_request; }
    // The server refused part of the request: true when an attempt without it is left to try.
    bool refused(RtspRefusal what);
    // The attempt played: what it asked for is remembered for the camera.
    void played();
    // The attempt failed otherwise: the next one starts over from what is known to work.
    void failed();

private:
    RtspRequest startingRequest() const;

    QString m_url;
    BackchannelChoice m_backchannel;
    TransportChoice m_transport;
    bool m_backchannelUsable;
    std::shared_ptr<RtspRefusalMemory> m_memory;
    RtspRequest m_request;
    bool m_otherTransportTried = false; // since the last start over
};
