#pragma once
// KRVideo: connections to DVRs and cameras, live video windows, picture capture and two-way
// audio, on GStreamer. The program relies on exactly these ten calls and the records below.
//
// Threads: every call is made from the user-interface thread and returns without waiting for
// the network. Every callback (camera callback, capture callback, talk callback) is called on
// the library's worker thread of the camera stream concerned ("krvideo camN"), never on the
// caller's thread; records passed to a callback are valid only during the call.

#include <QString>
#include <cstdint>

class QWidget;

// Connection handle; 0 is never a valid handle.
using KRVideoHandle = std::int32_t;

// An event's local time: OLE Automation date (days since 1899-12-30) and its status
// (0 valid, 1 invalid, 2 null).
struct KRVideoDateTime
{
    double date = 0;
    std::int32_t status = 0;
};

// Capture result, 32-bit fields in this order.
struct KRVideoFrame
{
    std::int32_t camera;          // camera number the frame comes from
    std::int32_t width;           // picture width in pixels
    std::int32_t height;          // picture height in pixels
    std::int32_t stride;          // raw frames: bytes per luma row; encoded pictures: 0
    std::int32_t fourcc;          // raw frames: 'I420' as a little-endian FOURCC; else 0
    std::int32_t dataSize;        // bytes of frame data
    std::int32_t sequence;        // frames received on the stream before this one
    std::int32_t converterFormat; // raw frames: colour converter source format (1 = I420)
    std::int32_t format;          // 1: data is a JPEG picture; 0: raw frame data
};

// Codec report, 32-bit fields in this order.
struct KRVideoCodecInfo
{
    std::int32_t size;        // sizeof(KRVideoCodecInfo)
    std::int32_t camera;      // camera number of the stream
    std::int32_t handle;      // connection handle
    std::int32_t listenRate;  // sample rate of the camera's audio, 0 when none
    std::int32_t listenCodec; // KRVideoCodec of the camera's audio (listening)
    std::int32_t talkCodec;   // KRVideoCodec of audio to the camera (talking)
    std::int32_t talkRate;    // sample rate of the back channel, 0 when none
};

// Codec type numbers. 6 and 15 are the two "cannot be used" values the program checks.
enum KRVideoCodec : std::int32_t
{
    KRVIDEO_CODEC_UNKNOWN_YET = 0,
    KRVIDEO_CODEC_PCMU = 1,
    KRVIDEO_CODEC_PCMA = 2,
    KRVIDEO_CODEC_G726 = 3,
    KRVIDEO_CODEC_AAC = 4,
    KRVIDEO_CODEC_L16 = 5,
    KRVIDEO_CODEC_NONE = 6, // the camera has no such audio channel
    KRVIDEO_CODEC_OPUS = 7,
    KRVIDEO_CODEC_G722 = 8,
    KRVIDEO_CODEC_UNSUPPORTED = 15, // a codec this library cannot decode or encode
};

// Talk callback statuses (any non-zero value means the camera's audio cannot be used now). One
// status per request; only a microphone failing after talking started reports a second one (2).
enum KRVideoTalkStatus : std::int32_t
{
    KRVIDEO_TALK_STARTED = 0,
    KRVIDEO_TALK_NO_BACKCHANNEL = 1,     // the camera offers no audio back channel
    KRVIDEO_TALK_MICROPHONE_FAILED = 2,  // the microphone could not be opened, or failed
    KRVIDEO_TALK_CAMERA_UNREACHABLE = 3, // the camera could not be reached, or was lost
    KRVIDEO_TALK_REFUSED = 4,            // the camera did not accept the audio
};

// Where the camera's sound goes while listening (camera callback, OnAudioOutput).
enum KRVideoAudioOutput : std::int32_t
{
    KRVIDEO_OUTPUT_PLAYING = 0,     // to a working output device
    KRVIDEO_OUTPUT_UNAVAILABLE = 1, // nowhere: no output device works, or it was lost
};

// Camera callback: six operations in this order.
class CKRVideoCameraCallback
{
public:
    // A stream started delivering pictures (after connecting or reconnecting).
    virtual void OnCameraOpen(KRVideoHandle handle, std::int32_t camera) = 0;
    // A stream that was delivering pictures was lost; the library reconnects by itself.
    virtual void OnCameraClose(KRVideoHandle handle) = 0;
    // A connection attempt failed; the next one follows after retryMs.
    virtual void OnCameraRetry(KRVideoHandle handle, std::int32_t camera, std::int32_t retryMs) = 0;
    // Talking ended because the camera stopped accepting audio.
    virtual void OnAudioBusy(KRVideoHandle handle, std::int32_t camera) = 0;
    // The stream's audio codecs, reported each time a stream starts.
    virtual void OnAudioCodec(const KRVideoCodecInfo* info) = 0;
    // Listening started (KRVideoAudioOutput), or its output was lost.
    virtual void OnAudioOutput(KRVideoHandle handle, std::int32_t camera, std::int32_t status) = 0;

protected:
    ~CKRVideoCameraCallback() = default;
};

// Capture callback: connection handle, camera number, frame record, frame data, context.
// Frame and data are null when no picture could be taken; the context is given back either way.
using KRVideoCaptureCallback = void (*)(KRVideoHandle handle, std::int32_t camera,
                                        const KRVideoFrame* frame, const std::uint8_t* data,
                                        void* context);

// Talk callback: connection handle, camera number, KRVideoTalkStatus.
using KRVideoTalkCallback = void (*)(KRVideoHandle handle, std::int32_t camera,
                                     std::int32_t status);

void KRVideoCreate(CKRVideoCameraCallback* callback, int reserved);
void KRVideoDestroy();

// Connections are lazy: nothing is sent to the camera until pictures or audio are needed.
// camera: −1 for the whole device (later calls choose the camera), else the one camera.
// Returns 0 for input that cannot name a stream (empty or malformed address, port out of range,
// camera below −1, no profile for the type and brand).
KRVideoHandle KRVideoConnect(const QString& address, int port, const QString& user,
                             const QString& password, int type, int brand, int camera,
                             int reserved);
void KRVideoDisconnect(KRVideoHandle handle);

// Delivers the first frame that arrives after delayMs to callback. Nonzero: the callback will
// follow (with a frame, or with none after a bounded wait); 0: the caller keeps the context.
// The card block (9 bytes) and local time are accepted for the caller's bookkeeping.
int KRVideoGetImage(KRVideoHandle handle, int camera, KRVideoCaptureCallback callback,
                    void* context, const std::uint8_t* cardBlock, KRVideoDateTime localTime,
                    int delayMs);

void KRAudioCameraToApp(KRVideoHandle handle, int camera, int on);
void KRAudioAppToCamera(KRVideoHandle handle, int on, KRVideoTalkCallback callback, int reserved);

QWidget* LiveVideo_Create(QWidget* parent, int reserved);
void LiveVideo_Destroy(QWidget* window);
void LiveVideo_SetCamera(QWidget* window, KRVideoHandle handle, int camera, int hostId, int value1,
                         int value2, int reserved);
