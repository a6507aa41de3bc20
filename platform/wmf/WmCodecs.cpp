#include "platform/wmf/WmCodecs.h"

#include "platform/wmf/WmfTypes.h"

WmVideoCodec WmVideoCodecFor(FOURCC fourcc) {
    struct Row {
        FOURCC code;
        WmVideoCodec codec;
    };
    static const Row kRows[] = {
        {MAKEFOURCC('M', 'P', '4', '2'), WmVideoCodec::MsMpeg4v2},
        {MAKEFOURCC('M', 'P', '4', '3'), WmVideoCodec::MsMpeg4v3},
        // ISO MPEG-4 of the Windows Media family: the MPEG-4 v3 encoder is nearest.
        {MAKEFOURCC('M', 'P', '4', 'S'), WmVideoCodec::MsMpeg4v3},
        {MAKEFOURCC('M', '4', 'S', '2'), WmVideoCodec::MsMpeg4v3},
        {MAKEFOURCC('M', 'P', 'G', '4'), WmVideoCodec::MsMpeg4v3},
        {MAKEFOURCC('W', 'M', 'V', '1'), WmVideoCodec::Wmv1},
        {MAKEFOURCC('W', 'M', 'V', '2'), WmVideoCodec::Wmv2},
        // Version 9 and later codecs, screen and image codecs: served by version 8.
        {MAKEFOURCC('W', 'M', 'V', '3'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('W', 'M', 'V', 'A'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('W', 'V', 'C', '1'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('W', 'M', 'V', 'P'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('W', 'V', 'P', '2'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('M', 'S', 'S', '1'), WmVideoCodec::Wmv2},
        {MAKEFOURCC('M', 'S', 'S', '2'), WmVideoCodec::Wmv2},
    };
    for (const Row& r : kRows) {
        if (r.code == fourcc) return r.codec;
    }
    return WmVideoCodec::None;
}

WmAudioCodec WmAudioCodecFor(WORD formatTag) {
    switch (formatTag) {
        case 0x0160:
            return WmAudioCodec::Wma1;
        case 0x0161:  // version 2
        case 0x0162:  // professional
        case 0x0163:  // lossless
        case 0x000A:  // voice
            return WmAudioCodec::Wma2;
        default:
            return WmAudioCodec::None;
    }
}

FOURCC WmSystemVideoFourcc(DWORD version) {
    switch (version) {
        case WMT_VER_4_0:
            return MAKEFOURCC('M', 'P', '4', '3');
        case WMT_VER_7_0:
            return MAKEFOURCC('W', 'M', 'V', '1');
        default:
            return MAKEFOURCC('W', 'M', 'V', '2');
    }
}
