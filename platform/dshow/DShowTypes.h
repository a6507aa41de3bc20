#pragma once
// Records and constants of the media-detector interface: identifiers, media
// types, the video format block and the positioning flags. Times are in
// 100-ns units (REFERENCE_TIME) unless a name says seconds.
#include <cstdint>

#include "platform/win32/Guid.h"
#include "platform/win32/Win32Types.h"

using ULONG = uint32_t;
using REFERENCE_TIME = int64_t;

using REFIID = const GUID&;

extern const GUID IID_IUnknown;
extern const GUID IID_ISampleGrabberCB;
extern const GUID MEDIATYPE_Video;
extern const GUID MEDIATYPE_Audio;
extern const GUID FORMAT_VideoInfo;
extern const GUID FORMAT_WaveFormatEx;

// A stream's media type. The format block (pbFormat, cbFormat bytes) is owned by
// the record once filled in and given back with FreeMediaType.
struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    ULONG cbFormat;
    BYTE* pbFormat;
};

// Releases the format block and leaves the record without one.
void FreeMediaType(AM_MEDIA_TYPE& mt);

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

// Flags of IMediaSeeking::SetPositions.
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;

constexpr REFERENCE_TIME UNITS = 10000000;  // 100-ns units per second
