#pragma once
// Video compressors: a small Video Compression Manager over libavcodec encoders.
// Compressors are found by their four-character handler, opened with ICOpen and
// driven either one frame at a time (ICSeqCompressFrame*) or by the compressed
// AVI stream. One frame in always gives one packet out.
#include <cstdint>

#include "platform/win32/Win32Types.h"

struct HWND__;
using HWND = HWND__*;

struct VcmCompressor;
using HIC = VcmCompressor*;
using LRESULT = intptr_t;

constexpr FOURCC ICTYPE_VIDEO = MAKEFOURCC('v', 'i', 'd', 'c');
constexpr FOURCC ICHANDLER_DIB = MAKEFOURCC('D', 'I', 'B', ' ');

constexpr UINT ICMODE_COMPRESS = 1;
constexpr UINT ICMODE_QUERY = 4;

constexpr LRESULT ICERR_OK = 0;
constexpr LRESULT ICERR_UNSUPPORTED = -1;
constexpr LRESULT ICERR_BADFORMAT = -2;
constexpr LRESULT ICERR_MEMORY = -3;
constexpr LRESULT ICERR_INTERNAL = -4;
constexpr LRESULT ICERR_BADSIZE = -15;
constexpr LRESULT ICERR_CANTUPDATE = -7;

// What a compressor can honour.
constexpr DWORD VIDCF_QUALITY = 0x0001;
constexpr DWORD VIDCF_CRUNCH = 0x0002;      // can aim at a data rate
constexpr DWORD VIDCF_TEMPORAL = 0x0004;    // makes delta frames, so key frames matter
constexpr DWORD VIDCF_COMPRESSFRAMES = 0x0008;
constexpr DWORD VIDCF_FASTTEMPORALC = 0x0020;

constexpr DWORD ICMF_COMPVARS_VALID = 0x0001;
constexpr LONG ICQUALITY_LOW = 0;
constexpr LONG ICQUALITY_HIGH = 10000;
constexpr LONG ICQUALITY_DEFAULT = -1;

// Messages of ICSendMessage that the writer uses.
constexpr UINT ICM_GETSTATE = 0x5000;
constexpr UINT ICM_SETSTATE = 0x5001;
constexpr UINT ICM_COMPRESS_FRAMES_INFO = 0x4046;

struct ICINFO {
    DWORD dwSize;
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwVersion;
    DWORD dwVersionICM;
    wchar_t szName[16];
    wchar_t szDescription[128];
    wchar_t szDriver[128];
};

struct ICCOMPRESSFRAMES {
    DWORD dwFlags;
    BITMAPINFOHEADER* lpbiOutput;
    LONG lOutput;
    BITMAPINFOHEADER* lpbiInput;
    LONG lInput;
    LONG lStartFrame;
    LONG lFrameCount;
    LONG lQuality;
    LONG lDataRate;
    LONG lKeyRate;
    DWORD dwRate;
    DWORD dwScale;
    DWORD dwOverheadPerFrame;
    DWORD dwReserved2;
};

struct COMPVARS {
    LONG cbSize;
    DWORD dwFlags;
    HIC hic;
    DWORD fccType;
    DWORD fccHandler;
    BITMAPINFO* lpbiIn;
    BITMAPINFO* lpbiOut;
    void* lpBitsOut;
    void* lpBitsPrev;
    LONG lFrame;
    LONG lKey;       // key frame every n frames; 0 = the first frame only
    LONG lDataRate;  // KB per second
    LONG lQ;         // 0..10000, or ICQUALITY_DEFAULT
    LONG lKeyCount;
    void* lpState;
    LONG cbState;
};

// Options a compressor keeps besides quality, key frames and data rate; they are
// what its state block carries and what its configure dialog edits.
struct VcmCodecOptions {
    LONG speed = -1;      // 0 slowest/best .. 9 fastest; -1 the encoder's default
    LONG quantizer = 0;   // fixed quantiser (1..31 or the encoder's scale); 0 = from quality
};

// The option values one compressor's state block accepts. A compressor that takes
// neither option has no configure dialog.
struct VcmOptionLimits {
    LONG speedMax = -1;     // speed accepts -1 (the encoder's default) .. speedMax; -1: no speed choice
    LONG quantizerMax = 0;  // quantizer accepts 0 (from quality) .. quantizerMax; 0: no fixed quantiser
    bool HasOptions() const { return speedMax >= 0 || quantizerMax > 0; }
    bool Accepts(const VcmCodecOptions& o) const {
        return o.speed >= -1 && o.speed <= speedMax && o.quantizer >= 0 && o.quantizer <= quantizerMax;
    }
};
// The limits of an installed compressor; none for a handler that is not installed.
VcmOptionLimits VcmGetOptionLimits(FOURCC handler);

// Filled by the user interface; tests use scripted ones.
class IVcmDialogs {
public:
    virtual ~IVcmDialogs() = default;
    // Edits the options in place; returns false when the user cancelled.
    virtual bool Configure(HWND owner, const ICINFO& info, VcmCodecOptions& options) = 0;
    virtual void About(HWND owner, const ICINFO& info) = 0;
};
// The dialogs ICConfigure and ICAbout show; null (the default) means none, and the
// compressor then reports that it has no such dialog.
void VcmSetDialogs(IVcmDialogs* dialogs);

// Enumeration: the i-th installed compressor of fccType (ICTYPE_VIDEO or 0 for any).
BOOL ICInfo(DWORD fccType, DWORD index, ICINFO* info);
HIC ICOpen(DWORD fccType, DWORD fccHandler, UINT mode);
LRESULT ICClose(HIC hic);
LRESULT ICGetInfo(HIC hic, ICINFO* info, DWORD size);

// ICERR_OK when the compressor takes this input (and, when given, makes this output).
LRESULT ICCompressQuery(HIC hic, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out);
// Size in bytes of the output format for this input, or a negative ICERR code.
LRESULT ICCompressGetFormatSize(HIC hic, const BITMAPINFOHEADER* in);
// Writes the output format (BITMAPINFOHEADER plus the codec's private bytes) into out.
LRESULT ICCompressGetFormat(HIC hic, const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out);
LRESULT ICCompressGetSize(HIC hic, const BITMAPINFOHEADER* in);

// ICM_GETSTATE (p1 = buffer or 0, p2 = its size): the state size, or the bytes written.
// ICM_SETSTATE (p1 = block, p2 = size): the bytes taken; 0 when the block is refused.
// ICM_COMPRESS_FRAMES_INFO (p1 = ICCOMPRESSFRAMES*, p2 = its size).
LRESULT ICSendMessage(HIC hic, UINT msg, uintptr_t p1, uintptr_t p2);
inline LRESULT ICGetStateSize(HIC hic) { return ICSendMessage(hic, ICM_GETSTATE, 0, 0); }
inline LRESULT ICGetState(HIC hic, void* data, DWORD size) {
    return ICSendMessage(hic, ICM_GETSTATE, reinterpret_cast<uintptr_t>(data), size);
}
inline LRESULT ICSetState(HIC hic, const void* data, DWORD size) {
    return ICSendMessage(hic, ICM_SETSTATE, reinterpret_cast<uintptr_t>(data), size);
}

// TRUE when a dialog is installed and the compressor has options to configure.
BOOL ICQueryConfigure(HIC hic);
// ICERR_OK after the user confirmed, ICERR_CANTUPDATE after a cancel, ICERR_UNSUPPORTED without a dialog.
LRESULT ICConfigure(HIC hic, HWND owner);
BOOL ICQueryAbout(HIC hic);
LRESULT ICAbout(HIC hic, HWND owner);

// Sequential compression with the settings of pc (quality, key frames, data rate).
// The input is 24-bit BI_RGB bottom-up rows padded to 4 bytes. On success pc->lpbiOut
// points at the output format (biSize covers the codec's private bytes) until the end.
BOOL ICSeqCompressFrameStart(COMPVARS* pc, const BITMAPINFO* input);
// The packet of one frame (valid until the next call), or null on failure.
void* ICSeqCompressFrame(COMPVARS* pc, UINT flags, const void* bits, BOOL* key, LONG* size);
// This layer's own: the frame converted into the compressor's input ahead of its turn, on
// another thread than the one compressing, into one of kSeqCompressPlaces places (one
// frame each); ICSeqCompressFrameAt then compresses it from there. FALSE when the
// compressor cannot prepare: the frame is converted when it is compressed, into the same
// input.
inline constexpr int kSeqCompressPlaces = 8;
BOOL ICSeqCompressFramePrepare(COMPVARS* pc, const void* bits, int place);
void* ICSeqCompressFrameAt(COMPVARS* pc, UINT flags, const void* bits, int place, BOOL* key, LONG* size);
void ICSeqCompressFrameEnd(COMPVARS* pc);
// Closes the compressor of pc (ICClose) and clears its handle.
void ICCompressorFree(COMPVARS* pc);
