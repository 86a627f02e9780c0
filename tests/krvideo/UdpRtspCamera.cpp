#include "UdpRtspCamera.h"

#include "RtspServerThread.h"

namespace {

const char Launch[] =
    "( videotestsrc is-live=true ! video/x-raw,format=I420,width=160,height=120,framerate=10/1 ! "
    "jpegenc ! rtpjpegpay name=pay0 pt=26 "
    "audiotestsrc is-live=true freq=600 ! audio/x-raw,rate=8000,channels=1 ! mulawenc ! "
    "rtppcmupay name=pay1 pt=0 )";

} // namespace

struct UdpRtspCamera::Server
{
    RtspServerThread serving{gst_rtsp_server_new()};

    // Every requirement is refused, as a server without ONVIF support does; counted first.
    static gchar* onCheckRequirements(GstRTSPClient*, GstRTSPContext*, gchar** requirements,
                                      gpointer counter)
    {
        static_cast<QAtomicInt*>(counter)->ref();
        return g_strjoinv(", ", requirements);
    }

    static GstRTSPStatusCode onPreSetup(GstRTSPClient*, GstRTSPContext* ctx, gpointer counter)
    {
        gchar* transport = nullptr;
        if (gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_TRANSPORT, &transport, 0) ==
                GST_RTSP_OK &&
            g_strrstr(transport, "TCP"))
            static_cast<QAtomicInt*>(counter)->ref();
        return GST_RTSP_STS_OK;
    }
};

UdpRtspCamera::UdpRtspCamera() = default;

UdpRtspCamera::~UdpRtspCamera() = default;

int UdpRtspCamera::start()
{
    gst_init(nullptr, nullptr);
    m_server = std::make_unique<Server>();
    GstRTSPServer* server = m_server->serving.server();
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, Launch);
    gst_rtsp_media_factory_set_protocols(factory, GST_RTSP_LOWER_TRANS_UDP);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, "/cam1", factory);
    g_object_unref(mounts);
    struct Counters
    {
        QAtomicInt* backchannel;
        QAtomicInt* tcp;
    };
    g_signal_connect_data(
        server, "client-connected",
        G_CALLBACK(+[](GstRTSPServer*, GstRTSPClient* client, gpointer data) {
            const auto* counters = static_cast<Counters*>(data);
            g_signal_connect(client, "check-requirements", G_CALLBACK(Server::onCheckRequirements),
                             counters->backchannel);
            g_signal_connect(client, "pre-setup-request", G_CALLBACK(Server::onPreSetup),
                             counters->tcp);
        }),
        new Counters{&m_backchannelRequests, &m_tcpSetups},
        [](gpointer data, GClosure*) { delete static_cast<Counters*>(data); }, GConnectFlags(0));
    return m_server->serving.start(QStringLiteral("127.0.0.1"), 0);
}
