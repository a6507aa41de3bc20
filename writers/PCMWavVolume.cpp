#include "writers/PCMWavVolume.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The scaled value rounded as (int)(v + 0.5) rounds, clipped before it becomes an integer
// so that no percentage can overflow.
double Scale(double sample, double factor, double low, double high) {
    return std::clamp(std::trunc(sample * factor + 0.5), low, high);
}

}  // namespace

void* CPCMWavVolume::ApplyVolume(void* buffer, int bytes, int percent, int bitsPerSample) {
    if (percent == 100 || !buffer || bytes <= 0) return buffer;
    const double factor = percent / 100.0;
    auto* p = static_cast<unsigned char*>(buffer);
    switch (bitsPerSample >> 3) {
    case 2:
        for (int i = 0; i + 1 < bytes; i += 2) {
            int16_t s;
            std::memcpy(&s, p + i, 2);  // the buffer need not be aligned for 16-bit access
            s = static_cast<int16_t>(Scale(s, factor, -32768.0, 32767.0));
            std::memcpy(p + i, &s, 2);
        }
        break;
    case 1:
        for (int i = 0; i < bytes; ++i)
            p[i] = static_cast<unsigned char>(Scale(p[i] - 127.0, factor, -127.0, 128.0) + 127.0);
        break;
    default:
        break;
    }
    return buffer;
}
