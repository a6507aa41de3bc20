#include "platform/vcm/CompressorTable.h"

#include <array>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "platform/vcm/Vcm.h"

namespace talvern::vcm {
namespace {

constexpr DWORD kIntra = VIDCF_QUALITY;
constexpr DWORD kDelta = VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_CRUNCH | VIDCF_FASTTEMPORALC;
constexpr DWORD kLossless = 0;

const std::array<CompressorEntry, 16> kTable = {{
    {MAKEFOURCC('M', 'J', 'P', 'G'), {"mjpeg", nullptr}, "yuvj420p", 24, QualityKind::QScale, kIntra,
     L"MJPEG", L"Motion JPEG"},
    {MAKEFOURCC('X', 'V', 'I', 'D'), {"libxvid", "mpeg4"}, "yuv420p", 12, QualityKind::QScale, kDelta,
     L"Xvid", L"Xvid MPEG-4 Part 2"},
    {MAKEFOURCC('F', 'M', 'P', '4'), {"mpeg4", nullptr}, "yuv420p", 12, QualityKind::QScale, kDelta,
     L"FMP4", L"MPEG-4 Part 2"},
    {MAKEFOURCC('H', '2', '6', '4'), {"libx264", nullptr}, "yuv420p", 12, QualityKind::Crf, kDelta,
     L"H.264", L"H.264 / AVC (x264)"},
    {MAKEFOURCC('H', 'F', 'Y', 'U'), {"huffyuv", nullptr}, nullptr, 24, QualityKind::None, kLossless,
     L"HuffYUV", L"HuffYUV lossless"},
    {MAKEFOURCC('F', 'F', 'V', '1'), {"ffv1", nullptr}, nullptr, 24, QualityKind::None, VIDCF_TEMPORAL,
     L"FFV1", L"FFV1 lossless"},
    {MAKEFOURCC('U', 'L', 'R', 'G'), {"utvideo", nullptr}, "gbrp", 24, QualityKind::None, kLossless,
     L"UtVideo RGB", L"Ut Video lossless RGB"},
    {MAKEFOURCC('M', 'A', 'G', 'Y'), {"magicyuv", nullptr}, "gbrp", 24, QualityKind::None, kLossless,
     L"MagicYUV", L"MagicYUV lossless"},
    {MAKEFOURCC('Z', 'M', 'B', 'V'), {"zmbv", nullptr}, nullptr, 24, QualityKind::None, VIDCF_TEMPORAL,
     L"ZMBV", L"Zip Motion Blocks Video"},
    {MAKEFOURCC('C', 'R', 'A', 'M'), {"msvideo1", nullptr}, "rgb555le", 16, QualityKind::None,
     VIDCF_TEMPORAL, L"Video 1", L"Video 1 (16-bit)"},
    {MAKEFOURCC('c', 'v', 'i', 'd'), {"cinepak", nullptr}, "rgb24", 24, QualityKind::None,
     VIDCF_TEMPORAL, L"Cinepak", L"Cinepak"},
    {MAKEFOURCC('M', 'P', '4', '2'), {"msmpeg4v2", nullptr}, "yuv420p", 12, QualityKind::QScale,
     kDelta, L"MPEG-4 V2", L"MPEG-4 variant version 2"},
    {MAKEFOURCC('M', 'P', '4', '3'), {"msmpeg4", nullptr}, "yuv420p", 12, QualityKind::QScale,
     kDelta, L"MPEG-4 V3", L"MPEG-4 variant version 3"},
    {MAKEFOURCC('W', 'M', 'V', '1'), {"wmv1", nullptr}, "yuv420p", 12, QualityKind::QScale, kDelta,
     L"WMV7", L"Windows Media Video 7"},
    {MAKEFOURCC('W', 'M', 'V', '2'), {"wmv2", nullptr}, "yuv420p", 12, QualityKind::QScale, kDelta,
     L"WMV8", L"Windows Media Video 8"},
    {MAKEFOURCC('I', 'Y', 'U', 'V'), {"rawvideo", nullptr}, "yuv420p", 12, QualityKind::None,
     kLossless, L"IYUV", L"Uncompressed YUV 4:2:0"},
}};

const std::vector<const CompressorEntry*>& Installed() {
    static const std::vector<const CompressorEntry*> installed = [] {
        // Encoders chatter about every clipped coefficient; only real errors matter here.
        if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
        std::vector<const CompressorEntry*> found;
        for (const CompressorEntry& e : kTable) {
            if (EncoderOf(e)) found.push_back(&e);
        }
        return found;
    }();
    return installed;
}

}  // namespace

const AVCodec* EncoderOf(const CompressorEntry& entry) {
    for (const char* name : entry.encoders) {
        if (!name) break;
        if (const AVCodec* c = avcodec_find_encoder_by_name(name)) return c;
    }
    return nullptr;
}

size_t InstalledCount() { return Installed().size(); }

const CompressorEntry* InstalledEntry(size_t index) {
    return index < Installed().size() ? Installed()[index] : nullptr;
}

const CompressorEntry* FindInstalled(FOURCC handler) {
    for (const CompressorEntry* e : Installed()) {
        if (e->handler == handler) return e;
    }
    return nullptr;
}

}  // namespace talvern::vcm
