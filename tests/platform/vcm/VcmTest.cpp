#include <gtest/gtest.h>
#include <sched.h>

#include <cstring>
#include <set>
#include <vector>

#include "platform/vcm/Vcm.h"

namespace {

constexpr int kW = 64;
constexpr int kH = 48;

BITMAPINFO Input24(int w = kW, int h = kH) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biSizeImage = static_cast<DWORD>(DibRowBytes(w, 24) * h);
    return bi;
}

// A frame whose pixels carry its index, with a moving bar so that delta frames differ.
std::vector<uint8_t> Frame(int index, int w = kW, int h = kH) {
    const int stride = static_cast<int>(DibRowBytes(w, 24));
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bits[static_cast<size_t>(y) * stride + x * 3];
            const bool bar = ((x + index * 3) % w) < 8;
            p[0] = static_cast<uint8_t>(y < 8 && x < 8 ? index * 9 : 40);
            p[1] = static_cast<uint8_t>(bar ? 230 : y * 4);
            p[2] = static_cast<uint8_t>(x * 4);
        }
    }
    return bits;
}

std::vector<FOURCC> Installed() {
    std::vector<FOURCC> all;
    ICINFO info;
    for (DWORD i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) all.push_back(info.fccHandler);
    return all;
}

// Key flags of n frames compressed sequentially with the given key-frame interval.
std::vector<bool> KeyFlags(FOURCC handler, LONG keyEvery, int n) {
    COMPVARS cv{};
    cv.cbSize = sizeof cv;
    cv.hic = ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS);
    cv.lKey = keyEvery;
    cv.lQ = 7500;
    std::vector<bool> keys;
    const BITMAPINFO in = Input24();
    EXPECT_TRUE(ICSeqCompressFrameStart(&cv, &in));
    for (int i = 0; i < n; ++i) {
        BOOL key = FALSE;
        LONG size = 0;
        const auto bits = Frame(i);
        const void* data = ICSeqCompressFrame(&cv, 0, bits.data(), &key, &size);
        EXPECT_NE(data, nullptr) << "one packet for every frame";
        EXPECT_GT(size, 0);
        keys.push_back(key != FALSE);
    }
    ICSeqCompressFrameEnd(&cv);
    ICCompressorFree(&cv);
    return keys;
}

// Bytes of the first (key) frame that hic makes at quality q; hic is closed afterwards.
LONG FirstFrameBytes(HIC hic, LONG q) {
    COMPVARS cv{};
    cv.cbSize = sizeof cv;
    cv.hic = hic;
    cv.lQ = q;
    const BITMAPINFO in = Input24();
    LONG size = 0;
    if (ICSeqCompressFrameStart(&cv, &in)) {
        BOOL key = FALSE;
        ICSeqCompressFrame(&cv, 0, Frame(0).data(), &key, &size);
        ICSeqCompressFrameEnd(&cv);
    }
    ICCompressorFree(&cv);
    return size;
}

// Every packet of a short sequence, end to end, compressed on the first `cores` cores
// allowed to this thread (the encoders' threads inherit the limit).
std::vector<uint8_t> SequenceOnCores(FOURCC handler, const cpu_set_t& allowed, int cores) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < cores; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) CPU_SET(cpu, &set), ++taken;
    }
    EXPECT_EQ(sched_setaffinity(0, sizeof set, &set), 0);
    constexpr int w = 320, h = 240;
    COMPVARS cv{};
    cv.cbSize = sizeof cv;
    cv.hic = ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS);
    cv.lKey = 4;
    cv.lQ = 7500;
    const BITMAPINFO in = Input24(w, h);
    std::vector<uint8_t> stream;
    EXPECT_TRUE(ICSeqCompressFrameStart(&cv, &in));
    for (int i = 0; i < 6; ++i) {
        BOOL key = FALSE;
        LONG size = 0;
        const auto bits = Frame(i, w, h);
        const auto* data = static_cast<const uint8_t*>(ICSeqCompressFrame(&cv, 0, bits.data(), &key, &size));
        if (data) stream.insert(stream.end(), data, data + size);
    }
    ICSeqCompressFrameEnd(&cv);
    ICCompressorFree(&cv);
    sched_setaffinity(0, sizeof allowed, &allowed);
    return stream;
}

class ScriptedDialogs : public IVcmDialogs {
public:
    bool accept = true;
    int abouts = 0;
    LONG speed = 7;
    LONG quantizer = 5;
    bool Configure(HWND, const ICINFO&, VcmCodecOptions& o) override {
        if (!accept) return false;
        o.speed = speed;
        o.quantizer = quantizer;
        return true;
    }
    void About(HWND, const ICINFO&) override { ++abouts; }
};

}  // namespace

TEST(VcmRegistry, ListsEveryCompressorWhoseEncoderIsInstalled) {
    const auto all = Installed();
    const std::set<FOURCC> have(all.begin(), all.end());
    for (const char* f : {"MJPG", "XVID", "FMP4", "H264", "HFYU", "FFV1", "ULRG", "MAGY", "ZMBV",
                          "CRAM", "cvid", "MP42", "MP43", "WMV1", "WMV2", "IYUV"}) {
        EXPECT_TRUE(have.count(MAKEFOURCC(f[0], f[1], f[2], f[3]))) << f;
    }
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, ICHANDLER_DIB, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, MAKEFOURCC('n', 'o', 'n', 'e'), ICMODE_COMPRESS), nullptr);
    ICINFO info;
    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, static_cast<DWORD>(all.size()), &info));
}

TEST(VcmSequential, EveryCompressorGivesOnePacketPerFrameAndHonoursTheKeyInterval) {
    for (FOURCC h : Installed()) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&h), 4));
        ICINFO info;
        ASSERT_TRUE(ICInfo(ICTYPE_VIDEO, 0, &info));
        HIC hic = ICOpen(ICTYPE_VIDEO, h, ICMODE_COMPRESS);
        ASSERT_NE(hic, nullptr);
        ICGetInfo(hic, &info, sizeof info);
        ICClose(hic);
        const bool temporal = (info.dwFlags & VIDCF_TEMPORAL) != 0;

        const auto every5 = KeyFlags(h, 5, 11);
        const auto first = KeyFlags(h, 0, 11);
        const auto all = KeyFlags(h, 1, 6);
        for (int i = 0; i < 11; ++i) {
            EXPECT_EQ(every5[i], temporal ? i % 5 == 0 : true) << "interval 5, frame " << i;
            EXPECT_EQ(first[i], temporal ? i == 0 : true) << "interval 0, frame " << i;
        }
        for (bool k : all) EXPECT_TRUE(k);
    }
}

TEST(VcmSequential, EveryCompressorGivesTheSameBytesOnOneCoreAsOnFour) {
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    if (CPU_COUNT(&allowed) < 2) GTEST_SKIP() << "one core only";
    for (FOURCC h : Installed()) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&h), 4));
        const auto one = SequenceOnCores(h, allowed, 1);
        EXPECT_FALSE(one.empty());
        EXPECT_TRUE(one == SequenceOnCores(h, allowed, 4));
    }
}

TEST(VcmSequential, QualityAndAConfiguredQuantiserDecideTheSize) {
    for (FOURCC h : Installed()) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&h), 4));
        HIC hic = ICOpen(ICTYPE_VIDEO, h, ICMODE_COMPRESS);
        ICINFO info{};
        ICGetInfo(hic, &info, sizeof info);
        ICClose(hic);
        if (!(info.dwFlags & VIDCF_QUALITY)) continue;
        EXPECT_GT(FirstFrameBytes(ICOpen(ICTYPE_VIDEO, h, ICMODE_COMPRESS), 10000),
                  FirstFrameBytes(ICOpen(ICTYPE_VIDEO, h, ICMODE_COMPRESS), 500));
    }
    ScriptedDialogs dialogs;
    VcmSetDialogs(&dialogs);
    auto configured = [&](LONG quantizer) {
        dialogs.quantizer = quantizer;
        HIC mjpg = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
        EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_OK);
        return FirstFrameBytes(mjpg, 10000);
    };
    EXPECT_GT(configured(2), configured(20));
    VcmSetDialogs(nullptr);
}

TEST(VcmState, RoundTripsAndRefusesForeignOrMalformedBlocks) {
    ScriptedDialogs dialogs;
    VcmSetDialogs(&dialogs);
    HIC mjpg = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    HIC x264 = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('H', '2', '6', '4'), ICMODE_COMPRESS);
    ASSERT_TRUE(mjpg && x264);
    const LRESULT size = ICGetStateSize(mjpg);
    ASSERT_GT(size, 0);
    std::vector<uint8_t> defaults(size), configured(size), after(size);
    ICGetState(mjpg, defaults.data(), size);

    EXPECT_TRUE(ICQueryConfigure(mjpg));
    dialogs.accept = false;
    EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_CANTUPDATE);
    ICGetState(mjpg, after.data(), size);
    EXPECT_EQ(after, defaults) << "a cancelled dialog changes nothing";
    dialogs.accept = true;
    EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_OK);
    ICGetState(mjpg, configured.data(), size);
    EXPECT_NE(configured, defaults);

    HIC fresh = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    EXPECT_EQ(ICSetState(fresh, configured.data(), size), size);
    ICGetState(fresh, after.data(), size);
    EXPECT_EQ(after, configured);

    // Same size, other compressor: refused, defaults kept.
    ICGetState(x264, defaults.data(), size);
    EXPECT_EQ(ICSetState(x264, configured.data(), size), 0);
    ICGetState(x264, after.data(), size);
    EXPECT_EQ(after, defaults);
    // Wrong size and corrupted magic: refused.
    EXPECT_EQ(ICSetState(fresh, configured.data(), size - 1), 0);
    std::vector<uint8_t> bad = configured;
    bad[0] ^= 0xFF;
    HIC other = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    EXPECT_EQ(ICSetState(other, bad.data(), size), 0);

    EXPECT_EQ(ICAbout(mjpg, nullptr), ICERR_OK);
    EXPECT_EQ(dialogs.abouts, 1);
    VcmSetDialogs(nullptr);
    for (HIC h : {mjpg, x264, fresh, other}) ICClose(h);
}

TEST(VcmState, EachCompressorTakesOnlyTheOptionsItHonours) {
    const FOURCC mjpgH = MAKEFOURCC('M', 'J', 'P', 'G'), x264H = MAKEFOURCC('H', '2', '6', '4');
    const FOURCC hfyuH = MAKEFOURCC('H', 'F', 'Y', 'U');
    EXPECT_EQ(VcmGetOptionLimits(mjpgH).speedMax, -1);
    EXPECT_EQ(VcmGetOptionLimits(mjpgH).quantizerMax, 31);
    EXPECT_EQ(VcmGetOptionLimits(x264H).speedMax, 9);
    EXPECT_EQ(VcmGetOptionLimits(x264H).quantizerMax, 51);
    EXPECT_FALSE(VcmGetOptionLimits(hfyuH).HasOptions());
    EXPECT_FALSE(VcmGetOptionLimits(ICHANDLER_DIB).HasOptions());

    ScriptedDialogs dialogs;
    VcmSetDialogs(&dialogs);
    HIC hfyu = ICOpen(ICTYPE_VIDEO, hfyuH, ICMODE_COMPRESS);
    HIC x264 = ICOpen(ICTYPE_VIDEO, x264H, ICMODE_COMPRESS);
    ASSERT_TRUE(hfyu && x264);
    EXPECT_FALSE(ICQueryConfigure(hfyu)) << "nothing to configure";
    EXPECT_EQ(ICConfigure(hfyu, nullptr), ICERR_UNSUPPORTED);
    EXPECT_TRUE(ICQueryAbout(hfyu));

    // A dialog handing back more than the state can carry is held to the limits.
    dialogs.speed = 12;
    dialogs.quantizer = 60;
    EXPECT_EQ(ICConfigure(x264, nullptr), ICERR_OK);
    const LRESULT size = ICGetStateSize(x264);
    std::vector<uint8_t> state(size);
    ICGetState(x264, state.data(), size);
    HIC fresh = ICOpen(ICTYPE_VIDEO, x264H, ICMODE_COMPRESS);
    EXPECT_EQ(ICSetState(fresh, state.data(), size), size);
    // The quantiser sits 16 bytes into the block; one beyond the limit is refused.
    LONG quantizer = 52;
    std::memcpy(state.data() + 16, &quantizer, sizeof quantizer);
    EXPECT_EQ(ICSetState(fresh, state.data(), size), 0);
    VcmSetDialogs(nullptr);
    for (HIC h : {hfyu, x264, fresh}) ICClose(h);
}

TEST(VcmState, NoDialogsNoConfigure) {
    HIC mjpg = ICOpen(ICTYPE_VIDEO, MAKEFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    ASSERT_NE(mjpg, nullptr);
    EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_UNSUPPORTED);
    EXPECT_FALSE(ICQueryAbout(mjpg));
    ICClose(mjpg);
}
