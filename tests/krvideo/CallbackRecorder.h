#pragma once
// What the video library reported through its callbacks, from its threads; read under the lock.

#include "krvideo/KRVideo.h"

#include <QList>
#include <QMutex>
#include <atomic>
#include <optional>

struct CallbackRecorder : CKRVideoCameraCallback
{
    QMutex mutex;
    int opened = 0, closed = 0, retries = 0, busy = 0;
    QList<KRVideoCodecInfo> codecs;

    void OnCameraOpen(KRVideoHandle, std::int32_t) override { bump(opened); }
    void OnCameraClose(KRVideoHandle) override { bump(closed); }
    void OnCameraRetry(KRVideoHandle, std::int32_t, std::int32_t) override { bump(retries); }
    void OnAudioBusy(KRVideoHandle, std::int32_t) override { bump(busy); }
    void OnAudioCodec(const KRVideoCodecInfo* info) override
    {
        QMutexLocker lock(&mutex);
        codecs << *info;
    }
    void OnAudioOutput(KRVideoHandle, std::int32_t, std::int32_t) override {}

    void bump(int& counter)
    {
        QMutexLocker lock(&mutex);
        ++counter;
    }
    int read(const int& counter)
    {
        QMutexLocker lock(&mutex);
        return counter;
    }
    // The latest codec report of a connection.
    std::optional<KRVideoCodecInfo> lastCodecs(KRVideoHandle handle)
    {
        QMutexLocker lock(&mutex);
        for (auto it = codecs.crbegin(); it != codecs.crend(); ++it)
            if (it->handle == handle)
                return *it;
        return std::nullopt;
    }
};

// The talk callback's latest status (-1: none yet).
inline std::atomic<int> talkStatus{-1};
inline void onTalk(KRVideoHandle, std::int32_t, std::int32_t status)
{
    talkStatus = status;
}
