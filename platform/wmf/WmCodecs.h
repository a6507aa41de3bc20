#pragma once
// Which of our encoders serves a codec named by a profile. Newer Windows Media codecs
// are served by the nearest older one we have.
#include "platform/win32/Win32Types.h"

enum class WmVideoCodec { None, MsMpeg4v2, MsMpeg4v3, Wmv1, Wmv2 };
enum class WmAudioCodec { None, Wma1, Wma2 };

WmVideoCodec WmVideoCodecFor(FOURCC fourcc);
WmAudioCodec WmAudioCodecFor(WORD formatTag);

// The codec of each system profile version.
FOURCC WmSystemVideoFourcc(DWORD version);
