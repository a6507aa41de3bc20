#pragma once
// The frame decompressor behind AVIStreamGetFrameOpen.
#include "platform/avifile/AviFile.h"

// Null when the stream is not video, its format is unusable or no decoder opens.
PGETFRAME OpenFrameDecoder(PAVISTREAM stream);
