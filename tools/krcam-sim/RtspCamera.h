#pragma once
// The RTSP side of the test camera: an ONVIF RTSP server with one mount per camera
// (/cam1 .. /camN), each a moving test picture with a clock (H.264), a test tone (PCMU) and an
// audio back channel (PCMU) whose samples go to a BackchannelMeter. Runs its own GLib main
// loop on a thread of its own.

#include <QSize>
#include <QString>
#include <memory>

class BackchannelMeter;

class RtspCamera
{
public:
    RtspCamera(BackchannelMeter& meter, QSize pictureSize, int cameras);
    ~RtspCamera();

    // Binds and starts serving; returns the bound port, or 0 when the port cannot be bound.
    int start(const QString& address, int port);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
