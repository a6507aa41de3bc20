#pragma once
// How much audio a movie writer still owes its video: the bytes of whole sample
// frames, rounded to the nearest sample, that bring the audio up to the time of the
// video frames written so far. Negative when the audio is ahead. Shared by the AVI
// and WMV writers, which pad with silence by it at the end.
#include <cstdint>

#include "platform/win32/Win32Types.h"

// videoFrames frames at rate/scale frames per second against audioBytes of PCM in
// format. 0 when the format or the rate cannot say. A copied stream's scale and rate
// may be absurd: the result stays whole sample frames that fit an int.
int AudioBytesDue(int64_t videoFrames, DWORD scale, DWORD rate, int64_t audioBytes,
                  const WAVEFORMATEX& format);

// What a writer's due is worked out from, taken while nothing else writes to it: the due
// can then be worked out ahead for frames and audio still on their way to the writer.
struct AudioDueBasis {
    int64_t videoFrames = 0;
    DWORD scale = 0;
    DWORD rate = 0;
    int64_t audioBytes = 0;
    WAVEFORMATEX format{};
    bool countsAudio = true;  // whether audio handed to the writer counts

    // The due once moreFrames frames and moreBytes bytes of audio have been written.
    int DueAfter(int64_t moreFrames, int64_t moreBytes) const {
        return AudioBytesDue(videoFrames + moreFrames, scale, rate, audioBytes + (countsAudio ? moreBytes : 0),
                             format);
    }
};
