#include "writers/AudioDue.h"

#include <algorithm>
#include <climits>
#include <cmath>

int AudioBytesDue(int64_t videoFrames, DWORD scale, DWORD rate, int64_t audioBytes,
                  const WAVEFORMATEX& format) {
    const double samplesPerSecond = format.nSamplesPerSec;
    const int sampleBytes = format.wBitsPerSample / 8;
    const int channels = format.nChannels;
    if (samplesPerSecond <= 0 || sampleBytes <= 0 || channels <= 0 || rate == 0) return 0;
    const double video = double(videoFrames) * scale / rate;
    const double audio = double(audioBytes) / samplesPerSecond / sampleBytes / channels;
    const double frame = double(sampleBytes) * channels;
    const double limit = std::floor(INT_MAX / frame);
    const double samples = std::trunc(samplesPerSecond * (video - audio) + 0.5);
    return static_cast<int>(std::clamp(samples, -limit, limit) * frame);
}
