#include "platform/vcm/Vcm.h"

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/vcm/CompressorTable.h"
#include "platform/vcm/VcmEncoder.h"

using talvern::vcm::CompressorEntry;
using talvern::vcm::EncoderSettings;
using talvern::vcm::VcmEncoder;

// What ICOpen hands out: one compressor with its options and, while sequential
// compression runs, its encoder.
struct VcmCompressor {
    const CompressorEntry* entry = nullptr;
    UINT mode = 0;
    VcmCodecOptions options;
    DWORD rate = 0;   // from ICM_COMPRESS_FRAMES_INFO
    DWORD scale = 0;
    VcmEncoder seq;
};

namespace {

IVcmDialogs* g_dialogs = nullptr;

// The state block: versioned, and bound to the compressor that made it, so the
// state of one compressor is never applied to another.
constexpr DWORD kStateMagic = MAKEFOURCC('T', 'V', 'C', 'S');
constexpr WORD kStateVersion = 1;
struct StateBlock {
    DWORD magic;
    WORD version;
    WORD bytes;
    FOURCC handler;
    LONG speed;
    LONG quantizer;
    LONG reserved[3];
};
static_assert(sizeof(StateBlock) == 32);

void CopyWide(wchar_t* dst, size_t cap, const wchar_t* src) {
    size_t n = 0;
    for (; src[n] && n + 1 < cap; ++n) dst[n] = src[n];
    dst[n] = 0;
}

void FillInfo(const CompressorEntry& e, ICINFO* info) {
    std::memset(info, 0, sizeof *info);
    info->dwSize = sizeof *info;
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = e.handler;
    info->dwFlags = e.flags;
    info->dwVersion = 1;
    info->dwVersionICM = 0x0104;
    CopyWide(info->szName, 16, e.name);
    CopyWide(info->szDescription, 128, e.description);
    CopyWide(info->szDriver, 128, L"libavcodec");
}

bool IsPlain24(const BITMAPINFOHEADER* in) {
    return in && in->biCompression == BI_RGB && in->biBitCount == 24 && in->biWidth > 0 &&
           in->biHeight > 0;
}

// Opens a throw-away encoder at the input's size: some refuse odd sizes.
bool TestOpen(const VcmCompressor& c, const BITMAPINFOHEADER* in, VcmEncoder& enc) {
    if (!IsPlain24(in)) return false;
    EncoderSettings s;
    s.width = in->biWidth;
    s.height = in->biHeight;
    s.options = c.options;
    return enc.Open(*c.entry, s);
}

// What the encoders make of the options (see VcmEncoder): a fixed quantiser on the
// MPEG-style scale 1..31, or x264's 1..51; speed picks one of x264's ten presets.
VcmOptionLimits LimitsOf(const CompressorEntry& e) {
    VcmOptionLimits limits;
    if (e.quality == talvern::vcm::QualityKind::QScale) limits.quantizerMax = 31;
    if (e.quality == talvern::vcm::QualityKind::Crf) limits.quantizerMax = 51;
    const AVCodec* codec = talvern::vcm::EncoderOf(e);
    if (codec && std::strcmp(codec->name, "libx264") == 0) limits.speedMax = 9;
    return limits;
}

LRESULT GetState(HIC hic, void* data, uintptr_t size) {
    if (!data) return sizeof(StateBlock);
    if (size < sizeof(StateBlock)) return ICERR_BADSIZE;
    StateBlock b{};
    b.magic = kStateMagic;
    b.version = kStateVersion;
    b.bytes = sizeof b;
    b.handler = hic->entry->handler;
    b.speed = hic->options.speed;
    b.quantizer = hic->options.quantizer;
    std::memcpy(data, &b, sizeof b);
    return sizeof b;
}

LRESULT SetState(HIC hic, const void* data, uintptr_t size) {
    if (!data) {
        hic->options = VcmCodecOptions{};
        return 0;
    }
    if (size != sizeof(StateBlock)) return 0;
    StateBlock b;
    std::memcpy(&b, data, sizeof b);
    const VcmCodecOptions options{b.speed, b.quantizer};
    if (b.magic != kStateMagic || b.version != kStateVersion || b.bytes != sizeof b ||
        b.handler != hic->entry->handler || !LimitsOf(*hic->entry).Accepts(options)) {
        return 0;
    }
    hic->options = options;
    return sizeof b;
}

}  // namespace

void VcmSetDialogs(IVcmDialogs* dialogs) { g_dialogs = dialogs; }

VcmOptionLimits VcmGetOptionLimits(FOURCC handler) {
    const CompressorEntry* e = talvern::vcm::FindInstalled(handler);
    return e ? LimitsOf(*e) : VcmOptionLimits{};
}

BOOL ICInfo(DWORD fccType, DWORD index, ICINFO* info) {
    if (fccType != 0 && fccType != ICTYPE_VIDEO) return FALSE;
    const CompressorEntry* e = talvern::vcm::InstalledEntry(index);
    if (!e || !info) return FALSE;
    FillInfo(*e, info);
    return TRUE;
}

HIC ICOpen(DWORD fccType, DWORD fccHandler, UINT mode) {
    if (fccType != ICTYPE_VIDEO) return nullptr;
    const CompressorEntry* e = talvern::vcm::FindInstalled(fccHandler);
    if (!e) return nullptr;
    auto* c = new VcmCompressor;
    c->entry = e;
    c->mode = mode;
    return c;
}

LRESULT ICClose(HIC hic) {
    delete hic;
    return ICERR_OK;
}

LRESULT ICGetInfo(HIC hic, ICINFO* info, DWORD size) {
    if (!hic || !info || size < sizeof(ICINFO)) return 0;
    FillInfo(*hic->entry, info);
    return sizeof(ICINFO);
}

LRESULT ICCompressQuery(HIC hic, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    if (!hic) return ICERR_BADFORMAT;
    VcmEncoder probe;
    if (!TestOpen(*hic, in, probe)) return ICERR_BADFORMAT;
    if (out) {
        const auto& fmt = probe.OutputFormat();
        const auto* made = reinterpret_cast<const BITMAPINFOHEADER*>(fmt.data());
        if (out->biCompression != made->biCompression || out->biWidth != made->biWidth ||
            out->biHeight != made->biHeight) {
            return ICERR_BADFORMAT;
        }
    }
    return ICERR_OK;
}

LRESULT ICCompressGetFormatSize(HIC hic, const BITMAPINFOHEADER* in) {
    VcmEncoder probe;
    if (!hic || !TestOpen(*hic, in, probe)) return ICERR_BADFORMAT;
    return static_cast<LRESULT>(probe.OutputFormat().size());
}

LRESULT ICCompressGetFormat(HIC hic, const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
    VcmEncoder probe;
    if (!hic || !out || !TestOpen(*hic, in, probe)) return ICERR_BADFORMAT;
    std::memcpy(out, probe.OutputFormat().data(), probe.OutputFormat().size());
    return ICERR_OK;
}

LRESULT ICCompressGetSize(HIC hic, const BITMAPINFOHEADER* in) {
    if (!hic || !IsPlain24(in)) return ICERR_BADFORMAT;
    // Worst case of any of our encoders: the raw picture plus headroom.
    return static_cast<LRESULT>(DibRowBytes(in->biWidth, 24) * in->biHeight * 2 + 4096);
}

LRESULT ICSendMessage(HIC hic, UINT msg, uintptr_t p1, uintptr_t p2) {
    if (!hic) return ICERR_BADFORMAT;
    switch (msg) {
    case ICM_GETSTATE:
        return GetState(hic, reinterpret_cast<void*>(p1), p2);
    case ICM_SETSTATE:
        return SetState(hic, reinterpret_cast<const void*>(p1), p2);
    case ICM_COMPRESS_FRAMES_INFO: {
        const auto* info = reinterpret_cast<const ICCOMPRESSFRAMES*>(p1);
        if (!info || p2 < sizeof(ICCOMPRESSFRAMES)) return ICERR_BADSIZE;
        hic->rate = info->dwRate;
        hic->scale = info->dwScale;
        return ICERR_OK;
    }
    default:
        return ICERR_UNSUPPORTED;
    }
}

BOOL ICQueryConfigure(HIC hic) { return hic && g_dialogs && LimitsOf(*hic->entry).HasOptions() ? TRUE : FALSE; }

LRESULT ICConfigure(HIC hic, HWND owner) {
    if (!ICQueryConfigure(hic)) return ICERR_UNSUPPORTED;
    ICINFO info;
    FillInfo(*hic->entry, &info);
    VcmCodecOptions edited = hic->options;
    if (!g_dialogs->Configure(owner, info, edited)) return ICERR_CANTUPDATE;
    // Only what the state block can carry is taken: the state must round-trip.
    const VcmOptionLimits limits = LimitsOf(*hic->entry);
    hic->options.speed = std::clamp<LONG>(edited.speed, -1, limits.speedMax);
    hic->options.quantizer = std::clamp<LONG>(edited.quantizer, 0, limits.quantizerMax);
    return ICERR_OK;
}

BOOL ICQueryAbout(HIC hic) { return hic && g_dialogs ? TRUE : FALSE; }

LRESULT ICAbout(HIC hic, HWND owner) {
    if (!ICQueryAbout(hic)) return ICERR_UNSUPPORTED;
    ICINFO info;
    FillInfo(*hic->entry, &info);
    g_dialogs->About(owner, info);
    return ICERR_OK;
}

BOOL ICSeqCompressFrameStart(COMPVARS* pc, const BITMAPINFO* input) {
    if (!pc || !pc->hic || !input || !IsPlain24(&input->bmiHeader)) return FALSE;
    HIC hic = pc->hic;
    EncoderSettings s;
    s.width = input->bmiHeader.biWidth;
    s.height = input->bmiHeader.biHeight;
    s.quality = pc->lQ;
    s.keyEvery = pc->lKey;
    s.bytesPerSecond = pc->lDataRate > 0 ? pc->lDataRate * 1024 : 0;
    s.rate = hic->rate;
    s.scale = hic->scale;
    s.options = hic->options;
    if (!hic->seq.Open(*hic->entry, s)) return FALSE;
    pc->lpbiOut = reinterpret_cast<BITMAPINFO*>(const_cast<uint8_t*>(hic->seq.OutputFormat().data()));
    pc->lFrame = 0;
    pc->lKeyCount = 0;
    return TRUE;
}

void* ICSeqCompressFrame(COMPVARS* pc, UINT flags, const void* bits, BOOL* key, LONG* size) {
    return ICSeqCompressFrameAt(pc, flags, bits, -1, key, size);
}

BOOL ICSeqCompressFramePrepare(COMPVARS* pc, const void* bits, int place) {
    if (!pc || !pc->hic || !pc->hic->seq.IsOpen()) return FALSE;
    return pc->hic->seq.Prepare(bits, place) ? TRUE : FALSE;
}

void* ICSeqCompressFrameAt(COMPVARS* pc, UINT, const void* bits, int place, BOOL* key, LONG* size) {
    if (!pc || !pc->hic || !pc->hic->seq.IsOpen()) return nullptr;
    int bytes = 0;
    bool isKey = false;
    const uint8_t* data = pc->hic->seq.Encode(bits, &bytes, &isKey, place);
    if (!data) return nullptr;
    if (key) *key = isKey ? TRUE : FALSE;
    if (size) *size = bytes;
    ++pc->lFrame;
    return const_cast<uint8_t*>(data);
}

void ICSeqCompressFrameEnd(COMPVARS* pc) {
    if (!pc) return;
    if (pc->hic) pc->hic->seq.Close();
    pc->lpbiOut = nullptr;
}

void ICCompressorFree(COMPVARS* pc) {
    if (!pc) return;
    if (pc->hic) ICClose(pc->hic);
    pc->hic = nullptr;
}
