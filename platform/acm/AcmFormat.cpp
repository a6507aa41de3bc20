#include "platform/acm/AcmFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/acm/Acm.h"

namespace {

constexpr int kExtensibleBytes = 22;

bool DescribeRaw(WORD tag, int bits, AcmShape& s) {
    s.raw = true;
    if (tag == WAVE_FORMAT_PCM) {
        switch (bits) {
        case 8: s.sampleFormat = AV_SAMPLE_FMT_U8; s.bytesPerSample = 1; return true;
        case 16: s.sampleFormat = AV_SAMPLE_FMT_S16; s.bytesPerSample = 2; return true;
        case 24: s.sampleFormat = AV_SAMPLE_FMT_S32; s.bytesPerSample = 3; return true;
        case 32: s.sampleFormat = AV_SAMPLE_FMT_S32; s.bytesPerSample = 4; return true;
        default: return false;
        }
    }
    if (bits == 32) {
        s.sampleFormat = AV_SAMPLE_FMT_FLT;
        s.bytesPerSample = 4;
        return true;
    }
    if (bits == 64) {
        s.sampleFormat = AV_SAMPLE_FMT_DBL;
        s.bytesPerSample = 8;
        return true;
    }
    return false;
}

int FixedSamplesPerBlock(const AcmShape& s) {
    const int ch = s.channels;
    const int block = s.blockAlign;
    switch (s.codec) {
    case AV_CODEC_ID_ADPCM_MS:
        if (s.extra.size() >= 2) {
            const int spb = s.extra[0] | (s.extra[1] << 8);
            if (spb > 0) return spb;
        }
        return block > 7 * ch ? (block - 7 * ch) * 2 / ch + 2 : 0;
    case AV_CODEC_ID_ADPCM_IMA_WAV:
        if (s.bitsPerSample == 4 || s.bitsPerSample == 0)
            return block > 4 * ch ? (block - 4 * ch) * 8 / (4 * ch) + 1 : 0;
        return 0;
    case AV_CODEC_ID_GSM_MS:
        return block == 65 ? 320 : 0;
    case AV_CODEC_ID_PCM_ALAW:
    case AV_CODEC_ID_PCM_MULAW:
        return block == ch ? 1 : 0;
    default:
        return 0;
    }
}

}  // namespace

bool AcmDescribe(const WAVEFORMATEX* f, AcmShape& s) {
    s = AcmShape{};
    if (!f) return false;
    s.channels = f->nChannels;
    s.rate = static_cast<int>(std::min<DWORD>(f->nSamplesPerSec, kAcmMaxRate + 1));
    s.blockAlign = f->nBlockAlign;
    s.bitsPerSample = f->wBitsPerSample;
    s.bytesPerSecond = f->nAvgBytesPerSec;
    if (s.channels < 1 || s.channels > kAcmMaxChannels || s.rate < 1 || s.rate > kAcmMaxRate ||
        s.blockAlign < 1)
        return false;
    WORD tag = f->wFormatTag;
    // PCM is described by its first 16 bytes alone; cbSize means nothing for it.
    const size_t extraBytes = tag == WAVE_FORMAT_PCM ? 0 : f->cbSize;
    const auto* extra = reinterpret_cast<const uint8_t*>(f) + sizeof(WAVEFORMATEX);
    s.extra.assign(extra, extra + extraBytes);
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (extraBytes < kExtensibleBytes) return false;
        tag = static_cast<WORD>(extra[6] | (extra[7] << 8));  // first bytes of the sub-format GUID
        s.extra.erase(s.extra.begin(), s.extra.begin() + kExtensibleBytes);
    }
    s.tag = tag;
    if (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (!DescribeRaw(tag, s.bitsPerSample, s)) return false;
        return s.blockAlign == s.channels * s.bytesPerSample;
    }
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    s.codec = av_codec_get_id(tables, tag);
    if (s.codec == AV_CODEC_ID_NONE) return false;
    s.samplesPerBlock = FixedSamplesPerBlock(s);
    // AAC with its configuration in the extra bytes is raw frames; without it the
    // frames carry ADTS headers, which the parser finds in any run of bytes.
    s.wholePackets = s.codec == AV_CODEC_ID_AAC && !s.extra.empty();
    return true;
}

int AcmFrameSamples(const AcmShape& s) {
    switch (s.codec) {
    case AV_CODEC_ID_MP3: return s.rate >= 32000 ? 1152 : 576;
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1: return 1152;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3: return 1536;
    default: return 4096;
    }
}

int AcmMaxSamplesPerByte(const AcmShape& s) {
    switch (s.codec) {
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1: return 24;  // 576 samples in 24-byte frames (8 kbit/s at 24 kHz)
    case AV_CODEC_ID_AC3: return 12;  // 1536 samples in 128 bytes (32 kbit/s at 48 kHz)
    default: return 32;
    }
}

// ---------------------------------------------------------------------------
// Formats the encoders offer.

namespace {

void PutWord(std::vector<BYTE>& b, WORD v) {
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}
void PutDword(std::vector<BYTE>& b, DWORD v) {
    PutWord(b, static_cast<WORD>(v));
    PutWord(b, static_cast<WORD>(v >> 16));
}

std::vector<BYTE> Header(WORD tag, int channels, int rate, DWORD avg, int block, int bits,
                         const std::vector<BYTE>& extra) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.nAvgBytesPerSec = avg;
    f.nBlockAlign = static_cast<WORD>(block);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.cbSize = static_cast<WORD>(extra.size());
    std::vector<BYTE> out(sizeof f + extra.size());
    std::memcpy(out.data(), &f, sizeof f);
    if (!extra.empty()) std::memcpy(out.data() + sizeof f, extra.data(), extra.size());
    return out;
}

// Block sizes as audio codecs customarily pick them: 256 bytes per channel, doubled
// for each doubling of the rate above 11.025 kHz.
int AdpcmBlock(int rate, int channels) { return 256 * channels * std::max(1, rate / 11025); }

std::vector<BYTE> MsAdpcm(int rate, int ch) {
    static const short coef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64},
                                     {240, 0}, {460, -208}, {392, -232}};
    const int block = AdpcmBlock(rate, ch);
    const int spb = (block - 7 * ch) * 2 / ch + 2;
    std::vector<BYTE> extra;
    PutWord(extra, static_cast<WORD>(spb));
    PutWord(extra, 7);
    for (const auto& c : coef) {
        PutWord(extra, static_cast<WORD>(c[0]));
        PutWord(extra, static_cast<WORD>(c[1]));
    }
    const DWORD avg = static_cast<DWORD>(static_cast<int64_t>(rate) * block / spb);
    return Header(WAVE_FORMAT_ADPCM, ch, rate, avg, block, 4, extra);
}

std::vector<BYTE> ImaAdpcm(int rate, int ch) {
    const int block = AdpcmBlock(rate, ch);
    const int spb = (block - 4 * ch) * 8 / (4 * ch) + 1;
    std::vector<BYTE> extra;
    PutWord(extra, static_cast<WORD>(spb));
    const DWORD avg = static_cast<DWORD>(static_cast<int64_t>(rate) * block / spb);
    return Header(WAVE_FORMAT_IMA_ADPCM, ch, rate, avg, block, 4, extra);
}

std::vector<BYTE> Gsm610() {
    std::vector<BYTE> extra;
    PutWord(extra, 320);
    return Header(WAVE_FORMAT_GSM610, 1, 8000, 1625, 65, 0, extra);
}

std::vector<BYTE> MpegLayer3(int rate, int ch, int kbps) {
    const int bitrate = kbps * 1000;
    std::vector<BYTE> extra;
    PutWord(extra, 1);     // wID: MPEGLAYER3_ID_MPEG
    PutDword(extra, 2);    // fdwFlags: MPEGLAYER3_FLAG_PADDING_OFF
    PutWord(extra, static_cast<WORD>((rate >= 32000 ? 144 : 72) * bitrate / rate));  // nBlockSize
    PutWord(extra, 1);     // nFramesPerBlock
    PutWord(extra, 1393);  // nCodecDelay
    return Header(WAVE_FORMAT_MPEGLAYER3, ch, rate, static_cast<DWORD>(bitrate / 8), 1, 0, extra);
}

std::vector<BYTE> MpegLayer2(int rate, int ch, int kbps) {
    const int bitrate = kbps * 1000;
    std::vector<BYTE> extra;
    PutWord(extra, ACM_MPEG_LAYER2);
    PutDword(extra, static_cast<DWORD>(bitrate));
    PutWord(extra, ch == 1 ? 0x0008 : 0x0001);  // ACM_MPEG_SINGLECHANNEL / ACM_MPEG_STEREO
    PutWord(extra, 0);                          // fwHeadModeExt
    PutWord(extra, 1);                          // wHeadEmphasis: none
    PutWord(extra, ACM_MPEG_ID_MPEG1);
    PutDword(extra, 0);
    PutDword(extra, 0);
    return Header(WAVE_FORMAT_MPEG, ch, rate, static_cast<DWORD>(bitrate / 8), 1, 0, extra);
}

std::vector<BYTE> Pcm(WORD tag, int rate, int ch, int bits) {
    const int block = ch * bits / 8;
    return Header(tag, ch, rate, static_cast<DWORD>(rate * block), block, bits, {});
}

std::wstring Channels(int ch) { return ch == 1 ? L"Mono" : L"Stereo"; }

std::wstring Khz(int rate) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%d.%03d kHz", rate / 1000, rate % 1000);
    return text;
}

std::wstring Describe(const std::vector<BYTE>& b) {
    WAVEFORMATEX f;
    std::memcpy(&f, b.data(), sizeof f);
    wchar_t text[96];
    if (f.wFormatTag == WAVE_FORMAT_MPEGLAYER3 || f.wFormatTag == WAVE_FORMAT_MPEG) {
        std::swprintf(text, 96, L"%u kBit/s, %u Hz, %ls", f.nAvgBytesPerSec * 8 / 1000,
                      f.nSamplesPerSec, Channels(f.nChannels).c_str());
    } else if (f.wBitsPerSample != 0) {
        std::swprintf(text, 96, L"%ls, %d Bit, %ls", Khz(static_cast<int>(f.nSamplesPerSec)).c_str(),
                      f.wBitsPerSample, Channels(f.nChannels).c_str());
    } else {
        std::swprintf(text, 96, L"%ls, %ls, %u bytes/s", Khz(static_cast<int>(f.nSamplesPerSec)).c_str(),
                      Channels(f.nChannels).c_str(), f.nAvgBytesPerSec);
    }
    return text;
}

void Add(std::vector<AcmFormatDetails>& list, const wchar_t* tagName, std::vector<BYTE> block) {
    AcmFormatDetails d;
    d.tagName = tagName;
    d.description = Describe(block);
    d.format = std::move(block);
    list.push_back(std::move(d));
}

AcmFormatChooser* g_chooser = nullptr;

}  // namespace

std::vector<AcmFormatDetails> AcmListFormats() {
    std::vector<AcmFormatDetails> list;
    const int pcmRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    const int codecRates[] = {8000, 11025, 22050, 44100};
    for (int rate : pcmRates)
        for (int bits : {8, 16})
            for (int ch : {1, 2}) Add(list, L"PCM", Pcm(WAVE_FORMAT_PCM, rate, ch, bits));
    for (int rate : {44100, 48000})
        for (int ch : {1, 2}) Add(list, L"IEEE Float", Pcm(WAVE_FORMAT_IEEE_FLOAT, rate, ch, 32));
    for (int rate : codecRates)
        for (int ch : {1, 2}) Add(list, L"Microsoft ADPCM", MsAdpcm(rate, ch));
    for (int rate : codecRates)
        for (int ch : {1, 2}) Add(list, L"IMA ADPCM", ImaAdpcm(rate, ch));
    for (int rate : codecRates)
        for (int ch : {1, 2}) Add(list, L"CCITT A-Law", Pcm(WAVE_FORMAT_ALAW, rate, ch, 8));
    for (int rate : codecRates)
        for (int ch : {1, 2}) Add(list, L"CCITT u-Law", Pcm(WAVE_FORMAT_MULAW, rate, ch, 8));
    Add(list, L"GSM 6.10", Gsm610());
    for (int rate : {48000, 44100, 32000})
        for (int kbps : {64, 96, 128, 160, 192, 256, 320}) Add(list, L"MPEG Layer-3", MpegLayer3(rate, 2, kbps));
    for (int rate : {48000, 44100, 32000, 22050, 16000})
        for (int kbps : {32, 48, 64}) Add(list, L"MPEG Layer-3", MpegLayer3(rate, 1, kbps));
    for (int rate : {48000, 44100, 32000})
        for (int kbps : {128, 192, 224, 256, 320, 384}) Add(list, L"MPEG Layer-2", MpegLayer2(rate, 2, kbps));
    for (int rate : {48000, 44100, 32000})
        for (int kbps : {64, 96, 128, 192}) Add(list, L"MPEG Layer-2", MpegLayer2(rate, 1, kbps));
    return list;
}

size_t AcmFormatBlockSize(const WAVEFORMATEX* f) {
    if (!f) return 0;
    return f->wFormatTag == WAVE_FORMAT_PCM ? sizeof(PCMWAVEFORMAT) : sizeof(WAVEFORMATEX) + f->cbSize;
}

bool AcmCanDecode(const WAVEFORMATEX* f) {
    AcmShape s;
    if (!AcmDescribe(f, s)) return false;
    return s.raw || avcodec_find_decoder(s.codec) != nullptr;
}

bool AcmNeedsWholePackets(const WAVEFORMATEX* f) {
    AcmShape s;
    return AcmDescribe(f, s) && s.wholePackets;
}

bool AcmCanConvert(const WAVEFORMATEX* source, const WAVEFORMATEX* dest) {
    if (acmStreamOpen(nullptr, nullptr, source, dest, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == MMSYSERR_NOERROR)
        return true;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (!dest || acmFormatSuggest(nullptr, dest, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
        return false;
    return acmStreamOpen(nullptr, nullptr, source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == MMSYSERR_NOERROR &&
           acmStreamOpen(nullptr, nullptr, &pcm, dest, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == MMSYSERR_NOERROR;
}

AcmFormatChooser* AcmSetFormatChooser(AcmFormatChooser* chooser) {
    AcmFormatChooser* old = g_chooser;
    g_chooser = chooser;
    return old;
}

MMRESULT acmMetrics(HACMOBJ, UINT metric, void* value) {
    if (!value) return MMSYSERR_INVALPARAM;
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    DWORD largest = sizeof(WAVEFORMATEX);
    for (const auto& d : AcmListFormats()) largest = std::max<DWORD>(largest, static_cast<DWORD>(d.format.size()));
    *static_cast<DWORD*>(value) = largest;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatChooseW(ACMFORMATCHOOSEW* request) {
    if (!request || !request->pwfx || request->cbwfx < sizeof(WAVEFORMATEX)) return MMSYSERR_INVALPARAM;
    if (!g_chooser) return ACMERR_CANCELED;
    return g_chooser->Choose(*request);
}

namespace {

// A non-PCM suggestion: the offered format of that tag nearest to the source's shape.
MMRESULT SuggestCodec(const AcmShape& src, WAVEFORMATEX* dest, DWORD destBytes) {
    const AcmFormatDetails* best = nullptr;
    int bestScore = -1;
    const std::vector<AcmFormatDetails> list = AcmListFormats();
    for (const auto& d : list) {
        WAVEFORMATEX f;
        std::memcpy(&f, d.format.data(), sizeof f);
        if (f.wFormatTag != dest->wFormatTag) continue;
        const int score = (static_cast<int>(f.nSamplesPerSec) == src.rate ? 2 : 0) +
                          (f.nChannels == src.channels ? 1 : 0);
        if (score > bestScore) {
            bestScore = score;
            best = &d;
        }
    }
    if (!best) return ACMERR_NOTPOSSIBLE;
    if (best->format.size() > destBytes) return MMSYSERR_INVALPARAM;
    std::memcpy(dest, best->format.data(), best->format.size());
    return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER, const WAVEFORMATEX* source, WAVEFORMATEX* dest, DWORD destBytes,
                          DWORD flags) {
    if (!source || !dest || destBytes < sizeof(PCMWAVEFORMAT)) return MMSYSERR_INVALPARAM;
    AcmShape src;
    if (!AcmDescribe(source, src)) return ACMERR_NOTPOSSIBLE;
    if (!src.raw && !avcodec_find_decoder(src.codec)) return ACMERR_NOTPOSSIBLE;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dest->wFormatTag != WAVE_FORMAT_PCM)
        return SuggestCodec(src, dest, destBytes);
    // The PCM a codec decodes to, or takes in when it encodes: 16-bit at its own
    // rate and channels. PCM sources keep their width.
    const int channels = (flags & ACM_FORMATSUGGESTF_NCHANNELS) ? dest->nChannels : src.channels;
    const int rate = (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? static_cast<int>(dest->nSamplesPerSec) : src.rate;
    int bits = src.tag == WAVE_FORMAT_PCM ? src.bitsPerSample : 16;
    if (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) bits = dest->wBitsPerSample;
    if (channels < 1 || channels > kAcmMaxChannels || rate < 1 || rate > kAcmMaxRate ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    std::memcpy(dest, &f, std::min<size_t>(destBytes, sizeof f));
    return MMSYSERR_NOERROR;
}
