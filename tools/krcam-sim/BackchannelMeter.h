#pragma once
// Measures (and optionally records) the audio a client talks into a camera's back channel.
// Called from GStreamer streaming threads; prints "backchannel <path> bytes N level X" lines,
// X being the RMS level of the last quarter second in dBFS.

#include <QFile>
#include <QHash>
#include <QString>
#include <cstdint>
#include <mutex>

class BackchannelMeter
{
public:
    static constexpr int SampleRate = 8000;

    // recordPath: WAV file that receives every back-channel sample (16-bit mono), or empty.
    explicit BackchannelMeter(const QString& recordPath);
    ~BackchannelMeter();

    void addSamples(const QString& path, const std::int16_t* samples, std::size_t count);

private:
    struct Window
    {
        std::uint64_t totalBytes = 0;
        double sumSquares = 0;
        std::size_t samples = 0;
    };
    void writeWavHeader();

    std::mutex m_mutex;
    QHash<QString, Window> m_windows;
    QFile m_wav;
    std::uint32_t m_wavDataBytes = 0;
};
