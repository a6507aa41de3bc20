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
