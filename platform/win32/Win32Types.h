#pragma once
// The Win32 records and constants that TALVERN's own code is written against,
// laid out byte for byte as they appear in files (BMP, WAV, AVI) so that they
// can be read and written directly. Sizes are fixed by static_assert below.
#include <cstddef>
#include <cstdint>
#include <optional>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using HRESULT = int32_t;
using COLORREF = uint32_t;
using FOURCC = uint32_t;
using WCHAR16 = char16_t;  // UTF-16 code unit as stored in files
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using LSTATUS = LONG;

// Opaque window handle; only the UI layer knows what it points at.
struct HWND__;
using HWND = HWND__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr int MAX_PATH = 260;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr FOURCC MAKEFOURCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}
constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) { return MAKEFOURCC(a, b, c, d); }

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
using RGBQUAD = tagRGBQUAD;

// Compression values of BITMAPINFOHEADER::biCompression.
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
struct PCMWAVEFORMAT {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
};
#pragma pack(pop)

constexpr WORD WAVE_FORMAT_UNKNOWN = 0x0000;
constexpr WORD WAVE_FORMAT_PCM = 0x0001;
constexpr WORD WAVE_FORMAT_ADPCM = 0x0002;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr WORD WAVE_FORMAT_ALAW = 0x0006;
constexpr WORD WAVE_FORMAT_MULAW = 0x0007;
constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr WORD WAVE_FORMAT_GSM610 = 0x0031;
constexpr WORD WAVE_FORMAT_MPEG = 0x0050;
constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr WORD WAVE_FORMAT_DOLBY_AC3 = 0x2000;
constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// AVI stream description as the reader reports it and the writer takes it.
struct AVISTREAMINFOW {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    WCHAR16 szName[64];
};

struct AVIFILEINFOW {
    DWORD dwMaxBytesPerSec;
    DWORD dwFlags;
    DWORD dwCaps;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwLength;
    DWORD dwEditCount;
    WCHAR16 szFileType[64];
};

constexpr FOURCC streamtypeVIDEO = MAKEFOURCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = MAKEFOURCC('a', 'u', 'd', 's');
constexpr FOURCC streamtypeMIDI = MAKEFOURCC('m', 'i', 'd', 's');
constexpr FOURCC streamtypeTEXT = MAKEFOURCC('t', 'x', 't', 's');

constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr DWORD AVIIF_FIRSTPART = 0x00000020;
constexpr DWORD AVIIF_LASTPART = 0x00000040;
constexpr DWORD AVIIF_NOTIME = 0x00000100;

// Logical font description as the GUI font helpers return it (face name as UTF-16).
constexpr int LF_FACESIZE = 32;
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR16 lfFaceName[LF_FACESIZE];
};

static_assert(sizeof(LOGFONTW) == 92);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(PCMWAVEFORMAT) == 16);
static_assert(sizeof(AVISTREAMINFOW) == 204);
static_assert(sizeof(AVIFILEINFOW) == 172);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(RECT) == 16);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(offsetof(AVISTREAMINFOW, rcFrame) == 52);
static_assert(offsetof(AVISTREAMINFOW, szName) == 76);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);

// Bytes per row of a bottom-up DIB: rows are padded to a multiple of 4 bytes. The one
// place a row length is worked out; a 24-bit frame's rows are DibRowBytes(width, 24).
constexpr int64_t DibRowBytes(int64_t width, int bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

// Bytes of a 24-bit frame of width x height, or nothing when a side is negative or the
// frame would pass `limit`. The default limit is what a signed 32-bit size holds: the
// buffers, frame writes and biSizeImage readers of the system count bytes in an int.
constexpr std::optional<int64_t> FrameBytes24(int64_t width, int64_t height,
                                              int64_t limit = INT32_MAX) {
    if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    const int64_t stride = DibRowBytes(width, 24);
    if (height > 0 && stride > limit / height) return std::nullopt;
    return stride * height;
}

// A bitmap as GetObject describes it: size, row length and where its bits lie.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};
