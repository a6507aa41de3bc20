#pragma once
// The compressors this system offers, each bound to a libavcodec encoder. An entry
// is listed only when one of its encoders exists in the installed FFmpeg.
#include <cstddef>

#include "platform/win32/Win32Types.h"

struct AVCodec;

namespace talvern::vcm {

// How the 0..10000 quality reaches the encoder.
enum class QualityKind { None, QScale, Crf };

struct CompressorEntry {
    FOURCC handler;
    const char* encoders[2];     // tried in order; null ends the list
    const char* pixelFormat;     // forced input pixel format, or null for the encoder's best match to BGR24
    WORD outputBitCount;         // biBitCount of the compressed format
    QualityKind quality;
    DWORD flags;                 // VIDCF_*
    const wchar_t* name;
    const wchar_t* description;
};

// The installed compressors, in table order.
size_t InstalledCount();
const CompressorEntry* InstalledEntry(size_t index);
// The entry of a handler (case of the FOURCC as given), or null when not installed.
const CompressorEntry* FindInstalled(FOURCC handler);
// The first encoder of the entry that this FFmpeg has.
const AVCodec* EncoderOf(const CompressorEntry& entry);

}  // namespace talvern::vcm
