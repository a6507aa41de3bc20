#pragma once
// The frame decompressor behind AVIStreamGetFrameOpen.
#include "platform/avifile/AviFile.h"

// Null when the stream is not video, its format is unusable or no decoder opens.
PGETFRAME OpenFrameDecoder(PAVISTREAM stream);

// Decoder threads for frame decompressors opened from now on: 0 lets the decoder
// choose (one thread for small pictures), n > 0 uses n. The frames delivered are
// the same either way.
void SetFrameDecoderThreads(int count);
