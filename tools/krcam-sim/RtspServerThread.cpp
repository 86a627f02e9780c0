#include "RtspServerThread.h"

RtspServerThread::RtspServerThread(GstRTSPServer* server) : m_server(server) {}

RtspServerThread::~RtspServerThread()
{
    if (m_thread.joinable()) {
        g_main_loop_quit(m_loop);
        m_thread.join();
    }
    g_object_unref(m_server);
    g_main_loop_unref(m_loop);
    g_main_context_unref(m_context);
}

int RtspServerThread::start(const QString& address, int port)
{
    gst_rtsp_server_set_address(m_server, address.toUtf8().constData());
    gst_rtsp_server_set_service(m_server, QByteArray::number(port).constData());
    if (gst_rtsp_server_attach(m_server, m_context) == 0)
        return 0;
    m_thread = std::thread([loop = m_loop] { g_main_loop_run(loop); });
    return gst_rtsp_server_get_bound_port(m_server);
}
