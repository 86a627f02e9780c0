#pragma once
// A gst-rtsp-server served from a GLib main loop on a thread of its own. The loop ends and its
// thread is joined before the server is released.

#include <QString>
#include <gst/rtsp-server/rtsp-server.h>
#include <thread>

class RtspServerThread
{
public:
    // Takes over the reference to the server.
    explicit RtspServerThread(GstRTSPServer* server);
    ~RtspServerThread();
    RtspServerThread(const RtspServerThread&) = delete;
    RtspServerThread& operator=(const RtspServerThread&) = delete;

    GstRTSPServer* server() const { return m_server; }
    // Binds address:port (0: a free port) and serves; the bound port, or 0 when it cannot bind.
    int start(const QString& address, int port);

private:
    GMainContext* m_context = g_main_context_new();
    GMainLoop* m_loop = g_main_loop_new(m_context, FALSE);
    GstRTSPServer* m_server;
    std::thread m_thread;
};
