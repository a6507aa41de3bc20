#pragma once
// Scales PCM samples by a percentage before they are written.

class CPCMWavVolume {
public:
    virtual ~CPCMWavVolume() = default;
    // 16-bit signed and 8-bit unsigned (centred on 127) samples are scaled in place
    // and clipped to their range; other widths and 100 % leave the buffer as it is.
    static void* ApplyVolume(void* buffer, int bytes, int percent, int bitsPerSample);

private:
    CPCMWavVolume() = default;
};
