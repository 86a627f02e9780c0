#pragma once
// A test camera that is not krcam-sim: a plain gst-rtsp-server (no ONVIF support, so it refuses
// the back-channel requirement with "551 Option not supported") that sends RTP over UDP only
// (a SETUP for RTP inside the RTSP connection gets "461 Unsupported transport"). One path,
// /cam1: a small JPEG test picture and a PCMU tone. Serves on loopback from a thread of its own
// and counts what clients asked for.

#include <QAtomicInt>
#include <memory>

class UdpRtspCamera
{
public:
    UdpRtspCamera();
    ~UdpRtspCamera();

    // Binds a free loopback port and starts serving; the port, or 0 when none could be bound.
    int start();

    // Requests that carried the back-channel requirement, and SETUPs that asked for TCP.
    int backchannelRequests() const { return m_backchannelRequests.loadRelaxed(); }
    int tcpSetups() const { return m_tcpSetups.loadRelaxed(); }

private:
    struct Server;
    std::unique_ptr<Server> m_server;
    QAtomicInt m_backchannelRequests;
    QAtomicInt m_tcpSetups;
};
