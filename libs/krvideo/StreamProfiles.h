#pragma once
// Stream URL rules: which URL a DVR or camera of a given type and brand is reached at. The
// rules come from the profile file (docs/video.md), never from code.

#include <QHash>
#include <QString>
#include <optional>

// Whether to ask an RTSP camera for its ONVIF audio back channel.
enum class BackchannelChoice
{
    Auto,   // ask when this machine can talk; a camera that refuses is asked again without it
    Always, // always ask (a camera that refuses plays nothing)
    Never
};

// How RTP reaches us from an RTSP camera.
enum class TransportChoice
{
    Auto, // inside the RTSP connection (TCP); UDP when the camera refuses that
    Tcp,
    Udp
};

struct StreamTarget
{
    QString url;  // without credentials
    QString user; // credentials go to the source element, not into the URL
    QString password;
    bool http = false; // MJPEG over HTTP; otherwise RTSP
    BackchannelChoice backchannel = BackchannelChoice::Auto;
    TransportChoice transport = TransportChoice::Auto;
};

class StreamProfiles
{
public:
    // Parses profile text (bounded: at most 64 KiB and 1000 lines are read).
    static StreamProfiles fromText(const QByteArray& text);
    // KRVIDEO_PROFILES, else KRVideoProfiles.ini in KRNOTIFY_PROGRAM_DIR, beside the program
    // or in the installed share folder, else the copy built into the library.
    static StreamProfiles load();

    // Nothing when the input cannot name a stream (bad address or port, camera below −1,
    // no url rule). camera −1 is the whole device: its first camera is streamed.
    std::optional<StreamTarget> resolve(const QString& address, int port, const QString& user,
                                        const QString& password, int type, int brand,
                                        int camera) const;

private:
    QString value(int type, int brand, const QString& key) const;
    QHash<QString, QHash<QString, QString>> m_sections; // lower-case names
};
