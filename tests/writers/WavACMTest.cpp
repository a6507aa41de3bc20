#include "writers/WavACM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/acm/AudioTestSignals.h"

namespace {

using talvern::test::AsFormat;
using talvern::test::Sine16;
const auto Offered = talvern::test::OfferedFormat;

int Collect(const void* data, int bytes, void* user) {
    auto* out = static_cast<std::vector<BYTE>*>(user);
    out->insert(out->end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
    return bytes;
}

struct Source {
    const std::vector<BYTE>* bytes;
    size_t pos = 0;
    size_t maxPerCall = ~size_t{0};
};
int Supply(void* data, int bytes, void* user) {
    auto* s = static_cast<Source*>(user);
    const size_t n = std::min({static_cast<size_t>(bytes), s->bytes->size() - s->pos, s->maxPerCall});
    std::memcpy(data, s->bytes->data() + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

// Encodes pcm (44.1 kHz stereo 16-bit) to target through the engine, pcm given in chunks of `chunk` bytes.
std::vector<BYTE> Encode(const std::vector<BYTE>& target, const std::vector<BYTE>& pcm, size_t chunk,
                         int* sampleCount = nullptr, int rate = 44100) {
    CWavACM acm;
    acm.SetPCMFormat(rate, 16, 2);
    acm.SetTargetFormat(target.empty() ? nullptr : AsFormat(target));
    std::vector<BYTE> out;
    EXPECT_TRUE(acm.PrepareWriteFormats());
    if (acm.GetTargetFormat() != acm.GetSourceFormat()) {
        EXPECT_TRUE(acm.OpenWriteStreams());
    }
    for (size_t pos = 0; pos < pcm.size(); pos += chunk) {
        const int n = static_cast<int>(std::min(chunk, pcm.size() - pos));
        EXPECT_EQ(acm.Write(pcm.data() + pos, n, Collect, &out), n);
    }
    EXPECT_TRUE(acm.Flush(Collect, &out));
    EXPECT_EQ(acm.GetInputBytes(), static_cast<int64_t>(pcm.size()));
    EXPECT_EQ(acm.GetBytesDone(), static_cast<int>(out.size()));
    if (sampleCount) *sampleCount = acm.GetSampleCount();
    return out;
}

// Decodes coded (format fmt) through the engine's reading side in requests of `request` bytes.
std::vector<BYTE> Decode(const std::vector<BYTE>& fmt, const std::vector<BYTE>& coded, size_t request,
                         size_t supplyLimit = ~size_t{0}, WAVEFORMATEX* pcmOut = nullptr) {
    CWavACM acm;
    acm.SetSourceFormat(AsFormat(fmt));
    HGLOBAL* block = acm.TargetFormatRef();
    *block = GlobalAlloc(GMEM_FIXED, fmt.size());
    std::memcpy(GlobalLock(*block), fmt.data(), fmt.size());
    EXPECT_TRUE(acm.OpenReadStream());
    if (pcmOut) *pcmOut = *acm.GetSourceFormat();
    acm.SetBytesDone(0);
    acm.SetReadLimit(-1);
    Source src{&coded, 0, supplyLimit};
    std::vector<BYTE> out, buffer(request);
    for (;;) {
        const int n = acm.Read(buffer.data(), static_cast<int>(request), Supply, &src);
        EXPECT_GE(n, 0);
        if (n <= 0) break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    EXPECT_EQ(src.pos, coded.size());
    return out;
}

struct Target {
    const char* name;
    WORD tag;
    int rate;
    int channels;
};

class WavACMChunking : public ::testing::TestWithParam<Target> {};

// However the source arrives (single bytes, prime-sized chunks, exactly one staging
// buffer, more), the output bytes are the same, and reading them back in any request
// size gives the same PCM.
TEST_P(WavACMChunking, OutputIndependentOfChunkSizes) {
    const Target t = GetParam();
    const std::vector<BYTE> target = Offered(t.tag, t.rate, t.channels);
    ASSERT_FALSE(target.empty());
    const std::vector<BYTE> pcm = Sine16(44100, 2, 44100 / 2 + 333);

    // Exactly one staging buffer (the source that fills one output buffer), in source bytes.
    WAVEFORMATEX mid{};
    mid.wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, AsFormat(target), &mid, sizeof mid, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
    HACMSTREAM main = nullptr;
    ASSERT_EQ(acmStreamOpen(&main, nullptr, &mid, AsFormat(target), nullptr, 0, 0, 0), 0u);
    const DWORD align = AsFormat(target)->nBlockAlign;
    DWORD staging = 0;
    acmStreamSize(main, CWavACM::kWriteOutputBytes - CWavACM::kWriteOutputBytes % align, &staging,
                  ACM_STREAMSIZEF_DESTINATION);
    acmStreamClose(main, 0);
    const size_t stagingChunk = size_t(staging) / mid.nBlockAlign * 44100 / mid.nSamplesPerSec * 4;
    ASSERT_GT(stagingChunk, 0u);

    int samples = 0;
    const std::vector<BYTE> reference = Encode(target, pcm, pcm.size(), &samples);
    ASSERT_FALSE(reference.empty());
    const WAVEFORMATEX* f = AsFormat(target);
    if (f->nBlockAlign > 1) {
        EXPECT_EQ(reference.size() % f->nBlockAlign, 0u);
    }
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{4093}, stagingChunk, stagingChunk + 4, size_t{100003}}) {
        EXPECT_EQ(Encode(target, pcm, chunk), reference) << "chunk " << chunk;
    }
    // The sample count of the 'fact' chunk is the output's, at its own rate.
    const int inputSamples = static_cast<int>(pcm.size() / 4);
    EXPECT_NEAR(samples, static_cast<double>(inputSamples) * t.rate / 44100, 2);

    WAVEFORMATEX decodedFormat{};
    const std::vector<BYTE> decoded = Decode(target, reference, 4096, ~size_t{0}, &decodedFormat);
    EXPECT_EQ(decodedFormat.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(decodedFormat.wBitsPerSample, 16);
    EXPECT_EQ(static_cast<int>(decodedFormat.nSamplesPerSec), t.rate);
    EXPECT_EQ(decodedFormat.nChannels, t.channels);
    const size_t expected = size_t(inputSamples) * t.rate / 44100 * decodedFormat.nBlockAlign;
    EXPECT_GE(decoded.size() + 64 * decodedFormat.nBlockAlign, expected);
    EXPECT_LE(decoded.size(), expected + 4 * 1152 * decodedFormat.nBlockAlign);
    for (size_t request : {size_t{1}, size_t{333}, size_t{1 << 16}, size_t{5 << 20}}) {
        EXPECT_EQ(Decode(target, reference, request), decoded) << "request " << request;
    }
    // A source that hands out little at a time is not taken for the end of the stream.
    EXPECT_EQ(Decode(target, reference, 8192, 101), decoded);
}

INSTANTIATE_TEST_SUITE_P(Targets, WavACMChunking,
                         ::testing::Values(Target{"MsAdpcmOneStage", WAVE_FORMAT_ADPCM, 44100, 2},
                                           Target{"ImaAdpcmTwoStages", WAVE_FORMAT_IMA_ADPCM, 22050, 1},
                                           Target{"GsmTwoStages", WAVE_FORMAT_GSM610, 8000, 1},
                                           Target{"Mp3", WAVE_FORMAT_MPEGLAYER3, 44100, 2},
                                           Target{"Mp2", WAVE_FORMAT_MPEG, 44100, 2},
                                           Target{"ALaw", WAVE_FORMAT_ALAW, 44100, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WavACM, PcmPassesThroughOrConverts) {
    const std::vector<BYTE> pcm = Sine16(44100, 2, 1000);
    // No target, or one equal to the source: bytes unchanged, no stream.
    EXPECT_EQ(Encode({}, pcm, 999), pcm);
    WAVEFORMATEX same{};
    {
        CWavACM acm;
        acm.SetPCMFormat(44100, 16, 2);
        same = *acm.GetSourceFormat();
        acm.SetTargetFormat(&same);
        ASSERT_TRUE(acm.PrepareWriteFormats());
        EXPECT_EQ(acm.GetTargetFormat(), acm.GetSourceFormat());
        EXPECT_EQ(acm.GetTargetFormatSize(), 16);
        std::vector<BYTE> out;
        EXPECT_EQ(acm.Write(pcm.data(), static_cast<int>(pcm.size()), Collect, &out), static_cast<int>(pcm.size()));
        EXPECT_EQ(acm.Write(pcm.data(), 0, Collect, &out), 0);
        EXPECT_TRUE(acm.Flush(Collect, &out));
        EXPECT_EQ(out, pcm);
        EXPECT_EQ(acm.GetSampleCount(), 1000);
    }
    // PCM to 8-bit mono PCM in one stage.
    WAVEFORMATEX mono8 = same;
    mono8.nChannels = 1;
    mono8.wBitsPerSample = 8;
    mono8.nBlockAlign = 1;
    mono8.nAvgBytesPerSec = 44100;
    std::vector<BYTE> m8(reinterpret_cast<BYTE*>(&mono8), reinterpret_cast<BYTE*>(&mono8) + 18);
    int samples = 0;
    EXPECT_EQ(Encode(m8, pcm, 77, &samples).size(), 1000u);
    EXPECT_EQ(samples, 1000);
}

TEST(WavACM, ReadingPcmHonoursTheReadLimit) {
    const std::vector<BYTE> pcm = Sine16(8000, 1, 500);
    CWavACM acm;
    acm.SetPCMFormat(8000, 16, 1);
    ASSERT_TRUE(acm.OpenReadStream());
    acm.SetBytesDone(0);
    acm.SetReadLimit(100);
    Source src{&pcm};
    std::vector<BYTE> buffer(64);
    int total = 0;
    for (int n; (n = acm.Read(buffer.data(), 64, Supply, &src)) > 0;) total += n;
    EXPECT_EQ(total, 100);
}

TEST(WavACM, FormatBlocksAndChoice) {
    CWavACM acm;
    acm.SetPCMFormat(44100, 16, 2);
    // A target with many extra bytes is kept whole.
    std::vector<BYTE> big(18 + 300);
    for (size_t i = 18; i < big.size(); ++i) big[i] = static_cast<BYTE>(i);
    auto* bf = reinterpret_cast<WAVEFORMATEX*>(big.data());
    bf->wFormatTag = 0x1234;
    bf->cbSize = 300;
    acm.SetTargetFormat(bf);
    EXPECT_EQ(std::memcmp(acm.GetTargetFormat(), big.data(), big.size()), 0);
    EXPECT_EQ(acm.GetTargetFormatSize(), 318);

    struct Chooser : AcmFormatChooser {
        std::vector<BYTE> pick;
        DWORD offered = 0;
        MMRESULT Choose(ACMFORMATCHOOSEW& r) override {
            offered = r.cbwfx;
            if (pick.empty()) return ACMERR_CANCELED;
            std::memcpy(r.pwfx, pick.data(), pick.size());
            return MMSYSERR_NOERROR;
        }
    } chooser;
    AcmFormatChooser* old = AcmSetFormatChooser(&chooser);
    acm.SetTargetFormat(nullptr);
    EXPECT_FALSE(acm.ChooseFormat(nullptr));  // cancelled: the block made for it stays
    EXPECT_EQ(chooser.offered, static_cast<DWORD>(acm.GetMaxFormatSize()));
    EXPECT_EQ(std::memcmp(acm.GetTargetFormat(), acm.GetSourceFormat(), 18), 0);
    chooser.pick = Offered(WAVE_FORMAT_ADPCM, 22050, 2);
    EXPECT_TRUE(acm.ChooseFormat(nullptr));
    EXPECT_EQ(std::memcmp(acm.GetTargetFormat(), chooser.pick.data(), chooser.pick.size()), 0);
    EXPECT_EQ(acm.GetTargetFormatSize(), 50);
    chooser.pick.assign(18, 0);  // a chosen tag of 0 is no format
    EXPECT_FALSE(acm.ChooseFormat(nullptr));
    EXPECT_EQ(acm.GetTargetFormat(), acm.GetSourceFormat());
    chooser.pick = Offered(WAVE_FORMAT_ADPCM, 22050, 2);
    reinterpret_cast<WAVEFORMATEX*>(chooser.pick.data())->cbSize = 0xFFFF;  // more than its block
    EXPECT_FALSE(acm.ChooseFormat(nullptr));
    EXPECT_EQ(acm.GetTargetFormat(), acm.GetSourceFormat());
    AcmSetFormatChooser(old);
}

TEST(WavACM, RefusesBrokenFormatsAndNeverPassesCompressedBytesAsPcm) {
    std::vector<BYTE> ima = Offered(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    reinterpret_cast<WAVEFORMATEX*>(ima.data())->nBlockAlign = 0;
    CWavACM acm;
    acm.SetSourceFormat(AsFormat(ima));
    *acm.TargetFormatRef() = GlobalAlloc(GMEM_FIXED, ima.size());
    std::memcpy(GlobalLock(*acm.TargetFormatRef()), ima.data(), ima.size());
    EXPECT_FALSE(acm.OpenReadStream());
    const std::vector<BYTE> junk(1000, 0x55);
    Source src{&junk};
    BYTE buffer[256];
    EXPECT_EQ(acm.Read(buffer, sizeof buffer, Supply, &src), 0);
    EXPECT_EQ(src.pos, 0u);

}

}  // namespace
