#include "platform/acm/Acm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/acm/AudioTestSignals.h"

static bool operator==(const WAVEFORMATEX& a, const WAVEFORMATEX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

namespace {

using talvern::test::AsFormat;
using talvern::test::Sine16;
const auto Offered = talvern::test::OfferedFormat;
const auto Pcm = talvern::test::PcmWaveFormat;

// Runs a whole conversion through a destination of dstBytes, in source chunks of chunk
// bytes; checks that nothing lands beyond the destination.
std::vector<BYTE> Convert(HACMSTREAM s, const std::vector<BYTE>& in, DWORD chunk, DWORD dstBytes) {
    std::vector<BYTE> out, dst(dstBytes + 16, 0xA5);
    size_t pos = 0;
    std::vector<BYTE> pending;
    auto run = [&](const BYTE* src, DWORD len, DWORD flags) {
        ACMSTREAMHEADER h{};
        h.cbStruct = sizeof h;
        h.pbSrc = const_cast<BYTE*>(src);
        h.cbSrcLength = len;
        h.pbDst = dst.data();
        h.cbDstLength = dstBytes;
        EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(s, &h, flags), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamUnprepareHeader(s, &h, 0), MMSYSERR_NOERROR);
        EXPECT_LE(h.cbDstLengthUsed, dstBytes);
        EXPECT_LE(h.cbSrcLengthUsed, len);
        for (size_t i = dstBytes; i < dst.size(); ++i) EXPECT_EQ(dst[i], 0xA5) << "written past the destination";
        out.insert(out.end(), dst.begin(), dst.begin() + h.cbDstLengthUsed);
        return h;
    };
    while (pos < in.size()) {
        const size_t n = std::min<size_t>(chunk, in.size() - pos);
        pending.insert(pending.end(), in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos + n));
        pos += n;
        const ACMSTREAMHEADER h = run(pending.data(), static_cast<DWORD>(pending.size()), ACM_STREAMCONVERTF_BLOCKALIGN);
        pending.erase(pending.begin(), pending.begin() + h.cbSrcLengthUsed);
    }
    for (;;) {
        const ACMSTREAMHEADER h = run(pending.data(), static_cast<DWORD>(pending.size()), 0);
        pending.erase(pending.begin(), pending.begin() + h.cbSrcLengthUsed);
        if (h.cbDstLengthUsed == 0 && pending.empty()) break;
    }
    return out;
}

std::vector<BYTE> ConvertAll(const WAVEFORMATEX* from, const WAVEFORMATEX* to, const std::vector<BYTE>& in,
                             DWORD chunk = 1 << 20, DWORD dst = 1 << 22) {
    HACMSTREAM s = nullptr;
    EXPECT_EQ(acmStreamOpen(&s, nullptr, from, to, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
    if (!s) return {};
    std::vector<BYTE> out = Convert(s, in, chunk, dst);
    acmStreamClose(s, 0);
    return out;
}

double Correlation(const std::vector<BYTE>& a, const std::vector<BYTE>& b, size_t offset) {
    const auto* x = reinterpret_cast<const int16_t*>(a.data());
    const auto* y = reinterpret_cast<const int16_t*>(b.data());
    const size_t n = std::min(a.size() / 2, b.size() / 2 - offset);
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i < n; ++i) {
        xy += double(x[i]) * y[i + offset];
        xx += double(x[i]) * x[i];
        yy += double(y[i + offset]) * y[i + offset];
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

// Best correlation of the decoded signal with the original, allowing for codec delay.
double BestCorrelation(const std::vector<BYTE>& original, const std::vector<BYTE>& decoded, size_t maxDelay) {
    double best = -1;
    for (size_t d = 0; d <= maxDelay && d < decoded.size() / 2; ++d) best = std::max(best, Correlation(original, decoded, d));
    return best;
}

struct CodecCase {
    const char* name;
    WORD tag;
    int rate;
    int channels;
    size_t maxDelaySamples;  // interleaved values
};

class AcmCodecTest : public ::testing::TestWithParam<CodecCase> {};

// Every offered encoder: its format is consistent, PCM encodes into whole blocks,
// and decoding gives back the signal at full length.
TEST_P(AcmCodecTest, EncodesAndDecodesBack) {
    const CodecCase c = GetParam();
    const std::vector<BYTE> target = Offered(c.tag, c.rate, c.channels);
    ASSERT_FALSE(target.empty()) << c.name;
    const WAVEFORMATEX* t = AsFormat(target);
    EXPECT_EQ(target.size(), sizeof(WAVEFORMATEX) + t->cbSize);
    ASSERT_GT(t->nBlockAlign, 0);

    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, t, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(pcm, Pcm(c.rate, c.channels, 16));

    const int frames = c.rate / 2;
    const std::vector<BYTE> in = Sine16(c.rate, c.channels, frames);
    const std::vector<BYTE> coded = ConvertAll(&pcm, t, in);
    ASSERT_FALSE(coded.empty());
    if (t->nBlockAlign > 1) {
        EXPECT_EQ(coded.size() % t->nBlockAlign, 0u);
    }
    // The stated byte rate matches what the encoder makes (within 10 %, frames padded at the end).
    const double seconds = double(frames) / c.rate;
    EXPECT_NEAR(coded.size() / seconds, double(t->nAvgBytesPerSec), t->nAvgBytesPerSec * 0.1 + 2 * t->nBlockAlign / seconds);

    const std::vector<BYTE> decoded = ConvertAll(t, &pcm, coded);
    EXPECT_GE(decoded.size(), in.size());
    EXPECT_LE(decoded.size(), in.size() + 4 * 1152 * pcm.nBlockAlign);
    EXPECT_GT(BestCorrelation(in, decoded, c.maxDelaySamples), 0.9) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Offered, AcmCodecTest,
    ::testing::Values(CodecCase{"MsAdpcm", WAVE_FORMAT_ADPCM, 22050, 2, 16},
                      CodecCase{"ImaAdpcm", WAVE_FORMAT_IMA_ADPCM, 11025, 1, 16},
                      CodecCase{"ALaw", WAVE_FORMAT_ALAW, 8000, 1, 4},
                      CodecCase{"MuLaw", WAVE_FORMAT_MULAW, 44100, 2, 4},
                      CodecCase{"Gsm", WAVE_FORMAT_GSM610, 8000, 1, 400},
                      CodecCase{"Mp3", WAVE_FORMAT_MPEGLAYER3, 44100, 2, 2 * 2400},
                      CodecCase{"Mp2", WAVE_FORMAT_MPEG, 48000, 2, 2 * 600},
                      CodecCase{"Float", WAVE_FORMAT_IEEE_FLOAT, 48000, 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AcmPcm, ConvertsWidthsRatesAndChannels) {
    const std::vector<BYTE> in = Sine16(44100, 2, 4410);
    const WAVEFORMATEX src = Pcm(44100, 2, 16);
    // Width changes are exact both ways.
    for (int bits : {8, 24, 32}) {
        const WAVEFORMATEX wide = Pcm(44100, 2, bits);
        const std::vector<BYTE> there = ConvertAll(&src, &wide, in);
        ASSERT_EQ(there.size(), in.size() / 2 * bits / 8) << bits;
        const std::vector<BYTE> back = ConvertAll(&wide, &src, there);
        if (bits == 8) {
            EXPECT_GT(Correlation(in, back, 0), 0.99);
        } else {
            EXPECT_EQ(back, in) << bits;
        }
    }
    // 24-bit bytes are the top three bytes of the 32-bit form.
    const WAVEFORMATEX w24 = Pcm(44100, 2, 24);
    const std::vector<BYTE> p24 = ConvertAll(&src, &w24, in);
    const auto* s16 = reinterpret_cast<const int16_t*>(in.data());
    EXPECT_EQ(p24[3 * 5 + 1] | (p24[3 * 5 + 2] << 8), static_cast<uint16_t>(s16[5]));
    EXPECT_EQ(p24[3 * 5], 0);
    // Rate and channel changes keep the duration.
    const WAVEFORMATEX low = Pcm(22050, 1, 16);
    const std::vector<BYTE> down = ConvertAll(&src, &low, in);
    EXPECT_NEAR(double(down.size()), in.size() / 4.0, 64);
}

TEST(AcmStream, QueuesWhatDoesNotFitAndTakesWholeBlocksOnly) {
    const std::vector<BYTE> target = Offered(WAVE_FORMAT_ADPCM, 22050, 2);
    const WAVEFORMATEX* t = AsFormat(target);
    const WAVEFORMATEX pcm = Pcm(22050, 2, 16);
    const std::vector<BYTE> in = Sine16(22050, 2, 22050);
    const std::vector<BYTE> reference = ConvertAll(&pcm, t, in);
    // Tiny destinations, odd source chunks: the same bytes, never past the end.
    for (DWORD chunk : {1u, 13u, 4096u, 100000u}) {
        for (DWORD dst : {1u, 7u, 1024u}) {
            EXPECT_EQ(ConvertAll(&pcm, t, in, chunk, dst), reference) << chunk << "/" << dst;
        }
    }

    HACMSTREAM s = nullptr;
    ASSERT_EQ(acmStreamOpen(&s, nullptr, t, &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<BYTE> dst(1 << 20);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = const_cast<BYTE*>(reference.data());
    h.cbSrcLength = t->nBlockAlign * 2 + 100;
    h.pbDst = dst.data();
    h.cbDstLength = static_cast<DWORD>(dst.size());
    ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, t->nBlockAlign * 2u);
    const DWORD spb = t->nBlockAlign - 7 * 2 + 2;  // samples per block of 2-channel MS ADPCM: (b-14)*2/2+2
    EXPECT_EQ(h.cbDstLengthUsed, 2 * spb * pcm.nBlockAlign);
    acmStreamUnprepareHeader(s, &h, 0);
    acmStreamClose(s, 0);
}

TEST(AcmStream, SizeQueriesBoundOneConversion) {
    struct Pair {
        std::vector<BYTE> from, to;
    };
    const WAVEFORMATEX p16 = Pcm(44100, 2, 16);
    const std::vector<BYTE> pcm(reinterpret_cast<const BYTE*>(&p16), reinterpret_cast<const BYTE*>(&p16) + 18);
    const std::vector<BYTE> mp3 = Offered(WAVE_FORMAT_MPEGLAYER3, 44100, 2);
    const std::vector<BYTE> ima = Offered(WAVE_FORMAT_IMA_ADPCM, 44100, 2);
    const std::vector<BYTE> in = Sine16(44100, 2, 44100);
    for (const auto& target : {mp3, ima}) {
        const std::vector<BYTE> coded = ConvertAll(AsFormat(pcm), AsFormat(target), in);
        for (const Pair& p : {Pair{pcm, target}, Pair{target, pcm}}) {
            const std::vector<BYTE>& src = p.from == pcm ? in : coded;
            HACMSTREAM s = nullptr;
            ASSERT_EQ(acmStreamOpen(&s, nullptr, AsFormat(p.from), AsFormat(p.to), nullptr, 0, 0, 0), MMSYSERR_NOERROR);
            DWORD bound = 0;
            ASSERT_EQ(acmStreamSize(s, static_cast<DWORD>(src.size()), &bound, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
            std::vector<BYTE> dst(bound);
            ACMSTREAMHEADER h{};
            h.cbStruct = sizeof h;
            h.pbSrc = const_cast<BYTE*>(src.data());
            h.cbSrcLength = static_cast<DWORD>(src.size());
            h.pbDst = dst.data();
            h.cbDstLength = bound;
            acmStreamPrepareHeader(s, &h, 0);
            ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
            acmStreamUnprepareHeader(s, &h, 0);
            // Everything fitted: a further conversion has nothing left.
            h.cbSrcLength = 0;
            acmStreamPrepareHeader(s, &h, 0);
            ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
            EXPECT_EQ(h.cbDstLengthUsed, 0u);
            acmStreamClose(s, 0);
        }
    }
}

TEST(AcmFormats, DecodableTagsAndRefusals) {
    WAVEFORMATEX f = Pcm(48000, 2, 16);
    f.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.cbSize = 22;
    std::vector<BYTE> ext(40, 0);
    std::memcpy(ext.data(), &f, 18);
    ext[24] = 0x01;  // KSDATAFORMAT_SUBTYPE_PCM
    EXPECT_TRUE(AcmCanDecode(AsFormat(ext)));
    f = Pcm(48000, 2, 16);
    f.wFormatTag = WAVE_FORMAT_DOLBY_AC3;
    f.nBlockAlign = 1;
    EXPECT_TRUE(AcmCanDecode(&f));
    f.wFormatTag = 0x4243;  // unassigned
    EXPECT_FALSE(AcmCanDecode(&f));
    WAVEFORMATEX bad = Pcm(44100, 2, 16);
    bad.nBlockAlign = 0;
    EXPECT_FALSE(AcmCanDecode(&bad));
    bad = Pcm(44100, 200, 16);
    EXPECT_FALSE(AcmCanDecode(&bad));

    // Codec to codec is not one stream.
    const std::vector<BYTE> mp3 = Offered(WAVE_FORMAT_MPEGLAYER3, 44100, 2);
    const std::vector<BYTE> ima = Offered(WAVE_FORMAT_IMA_ADPCM, 44100, 2);
    HACMSTREAM s = nullptr;
    EXPECT_EQ(acmStreamOpen(&s, nullptr, AsFormat(mp3), AsFormat(ima), nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(s, nullptr);

    DWORD max = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &max), MMSYSERR_NOERROR);
    for (const auto& d : AcmListFormats()) EXPECT_LE(d.format.size(), max);
}

}  // namespace
