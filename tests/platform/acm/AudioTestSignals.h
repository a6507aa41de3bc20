#pragma once
// Test signals and formats shared by the audio suites.
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/acm/Acm.h"

namespace talvern::test {

// Interleaved 16-bit sine tones, a different pitch per channel.
inline std::vector<BYTE> Sine16(int rate, int channels, int frames, double amplitude = 10000) {
    std::vector<BYTE> pcm(static_cast<size_t>(frames) * channels * 2);
    auto* s = reinterpret_cast<int16_t*>(pcm.data());
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s[i * channels + c] = static_cast<int16_t>(amplitude * std::sin(i * (440.0 + 220 * c) * 2 * M_PI / rate));
    return pcm;
}

inline WAVEFORMATEX PcmWaveFormat(int rate, int channels, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

inline const WAVEFORMATEX* AsFormat(const std::vector<BYTE>& b) {
    return reinterpret_cast<const WAVEFORMATEX*>(b.data());
}

// The first offered format with this tag, rate and channel count (empty when none).
inline std::vector<BYTE> OfferedFormat(WORD tag, int rate, int channels) {
    for (const auto& d : AcmListFormats()) {
        const WAVEFORMATEX* f = AsFormat(d.format);
        if (f->wFormatTag == tag && static_cast<int>(f->nSamplesPerSec) == rate && f->nChannels == channels)
            return d.format;
    }
    return {};
}

}  // namespace talvern::test
