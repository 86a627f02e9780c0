#include "BackchannelMeter.h"

#include <QtEndian>
#include <cmath>
#include <cstdio>

namespace {
constexpr std::size_t WindowSamples = BackchannelMeter::SampleRate / 4;
constexpr std::uint32_t MaxWavData = 0x7FFF0000; // stay a valid RIFF file
} // namespace

BackchannelMeter::BackchannelMeter(const QString& recordPath) : m_wav(recordPath)
{
    if (recordPath.isEmpty())
        return;
    if (!m_wav.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::fprintf(stderr, "krcam-sim: cannot write %s\n", qPrintable(recordPath));
    else
        writeWavHeader();
}

BackchannelMeter::~BackchannelMeter() = default;

void BackchannelMeter::writeWavHeader()
{
    QByteArray h(44, '\0');
    auto put32 = [&](int at, std::uint32_t v) { qToLittleEndian(v, h.data() + at); };
    auto put16 = [&](int at, std::uint16_t v) { qToLittleEndian(v, h.data() + at); };
    h.replace(0, 4, "RIFF");
    put32(4, 36 + m_wavDataBytes);
    h.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, 1); // mono
    put32(24, SampleRate);
    put32(28, SampleRate * 2);
    put16(32, 2);
    put16(34, 16);
    h.replace(36, 4, "data");
    put32(40, m_wavDataBytes);
    m_wav.seek(0);
    m_wav.write(h);
    m_wav.seek(m_wav.size());
}

void BackchannelMeter::addSamples(const QString& path, const std::int16_t* samples,
                                  std::size_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint32_t bytes = std::uint32_t(count * sizeof(std::int16_t));
    if (m_wav.isOpen() && m_wavDataBytes + std::uint64_t(bytes) <= MaxWavData) {
        m_wav.write(reinterpret_cast<const char*>(samples), bytes);
        m_wavDataBytes += bytes;
        writeWavHeader();
        m_wav.flush();
    }
    Window& w = m_windows[path];
    w.totalBytes += bytes;
    for (std::size_t i = 0; i < count; ++i) {
        const double s = samples[i] / 32768.0;
        w.sumSquares += s * s;
        if (++w.samples == WindowSamples) {
            const double rms = std::sqrt(w.sumSquares / double(w.samples));
            const double level = rms > 1e-5 ? 20 * std::log10(rms) : -100.0;
            std::printf("backchannel %s bytes %llu level %.1f\n", qPrintable(path),
                        static_cast<unsigned long long>(w.totalBytes), level);
            std::fflush(stdout);
            w.sumSquares = 0;
            w.samples = 0;
        }
    }
}
