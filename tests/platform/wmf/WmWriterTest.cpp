#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/wmf/WmWriter.h"
#include "tests/support/TestSupport.h"

namespace {

using talvern::test::ReadFileBytes;
using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;

constexpr int kSide = 32;

IWMProfile* VideoProfile(DWORD vbrQuality = 100) {
    IWMProfile* p = IWMProfile::Create();
    WmStreamConfig v;
    v.majorType = WMMEDIATYPE_Video;
    v.bitrate = 2000000;
    v.vbr = vbrQuality != 0;
    v.vbrQuality = vbrQuality;
    v.fourcc = MAKEFOURCC('W', 'M', 'V', '2');
    p->streams.push_back(v);
    return p;
}

HRESULT SetVideo(IWMWriter* w, const GUID& subtype, DWORD compression, WORD bits, LONG height) {
    WMVIDEOINFOHEADER vih{};
    vih.AvgTimePerFrame = 400000;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = kSide;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biBitCount = bits;
    vih.bmiHeader.biCompression = compression;
    WM_MEDIA_TYPE t{};
    t.majortype = WMMEDIATYPE_Video;
    t.subtype = subtype;
    t.formattype = WMFORMAT_VideoInfo;
    t.cbFormat = sizeof vih;
    t.pbFormat = reinterpret_cast<BYTE*>(&vih);
    IWMInputMediaProps* props = nullptr;
    HRESULT hr = w->GetInputProps(0, &props);
    if (SUCCEEDED(hr)) hr = props->SetMediaType(&t);
    if (SUCCEEDED(hr)) hr = w->SetInputProps(0, props);
    WmSafeRelease(props);
    return hr;
}

HRESULT WriteBytes(IWMWriter* w, const std::vector<BYTE>& bytes, QWORD time = 0) {
    INSSBuffer* s = nullptr;
    HRESULT hr = w->AllocateSample(static_cast<DWORD>(bytes.size()), &s);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    DWORD length = 0;
    s->GetBufferAndLength(&data, &length);
    std::memcpy(data, bytes.data(), bytes.size());
    hr = w->WriteSample(0, time, 0, s);
    s->Release();
    return hr;
}

// One frame, top half red and bottom half blue, in the layout of each input format.
struct Layout {
    const char* name;
    GUID subtype;
    DWORD compression;
    WORD bits;
    LONG height;  // negative: RGB rows top-down
};

std::vector<BYTE> RedOverBlue(const Layout& l) {
    std::vector<BYTE> f;
    auto topRow = [&](int storedRow) { return l.height > 0 && l.compression == BI_RGB ? storedRow >= kSide / 2 : storedRow < kSide / 2; };
    if (l.compression == BI_RGB) {
        const int row = static_cast<int>(DibRowBytes(kSide, l.bits));
        f.assign(row * kSide, 0);
        for (int y = 0; y < kSide; ++y) {
            const bool red = topRow(y);
            for (int x = 0; x < kSide; ++x) {
                BYTE* p = &f[y * row + x * (l.bits / 8)];
                if (l.bits == 16) {
                    const WORD v = red ? 0x7C00 : 0x001F;
                    p[0] = v & 0xFF;
                    p[1] = v >> 8;
                } else {
                    p[0] = red ? 0 : 255;  // blue
                    p[2] = red ? 255 : 0;  // red
                }
            }
        }
        return f;
    }
    const BYTE yR = 81, uR = 90, vR = 240, yB = 41, uB = 240, vB = 110;
    const FOURCC c = l.compression;
    if (c == MAKEFOURCC('I', '4', '2', '0') || c == MAKEFOURCC('Y', 'V', '1', '2')) {
        const bool yv12 = c == MAKEFOURCC('Y', 'V', '1', '2');
        for (int y = 0; y < kSide; ++y) f.insert(f.end(), kSide, topRow(y) ? yR : yB);
        for (int plane = 0; plane < 2; ++plane) {
            const bool isV = (plane == 0) == yv12;
            for (int y = 0; y < kSide / 2; ++y) {
                const bool red = topRow(y * 2);
                f.insert(f.end(), kSide / 2, isV ? (red ? vR : vB) : (red ? uR : uB));
            }
        }
        return f;
    }
    for (int y = 0; y < kSide; ++y) {
        const bool red = topRow(y);
        const BYTE Y = red ? yR : yB, U = red ? uR : uB, V = red ? vR : vB;
        for (int x = 0; x < kSide; x += 2) {
            if (c == MAKEFOURCC('Y', 'U', 'Y', '2')) f.insert(f.end(), {Y, U, Y, V});
            if (c == MAKEFOURCC('U', 'Y', 'V', 'Y')) f.insert(f.end(), {U, Y, V, Y});
            if (c == MAKEFOURCC('Y', 'V', 'Y', 'U')) f.insert(f.end(), {Y, V, Y, U});
        }
    }
    return f;
}

TEST(WmWriter, EveryInputLayoutKeepsItsPictureUpright) {
    const FOURCC i420 = MAKEFOURCC('I', '4', '2', '0'), yv12 = MAKEFOURCC('Y', 'V', '1', '2');
    const FOURCC yuy2 = MAKEFOURCC('Y', 'U', 'Y', '2'), uyvy = MAKEFOURCC('U', 'Y', 'V', 'Y');
    const FOURCC yvyu = MAKEFOURCC('Y', 'V', 'Y', 'U');
    const Layout layouts[] = {
        {"rgb24 bottom-up", MEDIASUBTYPE_RGB24, BI_RGB, 24, kSide},
        {"rgb24 top-down", MEDIASUBTYPE_RGB24, BI_RGB, 24, -kSide},
        {"rgb32", MEDIASUBTYPE_RGB32, BI_RGB, 32, kSide},
        {"rgb555", MEDIASUBTYPE_RGB555, BI_RGB, 16, kSide},
        {"i420", GuidFromFourcc(i420), i420, 12, kSide},
        {"yv12", GuidFromFourcc(yv12), yv12, 12, kSide},
        {"yuy2", GuidFromFourcc(yuy2), yuy2, 16, kSide},
        {"uyvy", GuidFromFourcc(uyvy), uyvy, 16, kSide},
        {"yvyu", GuidFromFourcc(yvyu), yvyu, 16, kSide},
    };
    TempDir dir;
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const std::string path = (dir / (std::string(l.name) + ".wmv")).string();
        IWMWriter* w = nullptr;
        ASSERT_EQ(S_OK, WMCreateWriter(nullptr, &w));
        IWMProfile* profile = VideoProfile();
        ASSERT_EQ(S_OK, w->SetProfile(profile));
        profile->Release();
        ASSERT_EQ(S_OK, SetVideo(w, l.subtype, l.compression, l.bits, l.height));
        ASSERT_EQ(S_OK, w->SetOutputFilename(std::wstring(path.begin(), path.end()).c_str()));
        ASSERT_EQ(S_OK, w->BeginWriting());
        ASSERT_EQ(S_OK, WriteBytes(w, RedOverBlue(l)));
        ASSERT_EQ(S_OK, w->EndWriting());
        w->Release();
        std::string rgb;
        RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -frames:v 1 -f rawvideo -pix_fmt rgb24 -", &rgb);
        ASSERT_EQ(static_cast<size_t>(kSide * kSide * 3), rgb.size());
        auto at = [&](int x, int y, int c) { return static_cast<BYTE>(rgb[(y * kSide + x) * 3 + c]); };
        EXPECT_GT(at(8, 4, 0), 180);  // top: red
        EXPECT_LT(at(8, 4, 2), 80);
        EXPECT_LT(at(8, 27, 0), 80);  // bottom: blue
        EXPECT_GT(at(8, 27, 2), 180);
    }
}

TEST(WmWriter, AQualityBasedStreamFollowsItsQuality) {
    TempDir dir;
    std::vector<BYTE> busy(DibRowBytes(kSide, 24) * kSide);
    for (size_t i = 0; i < busy.size(); ++i) busy[i] = static_cast<BYTE>(i * 37 + i / 7 * 11);
    auto bytes = [&](DWORD quality) {
        const std::string path = (dir / ("q" + std::to_string(quality) + ".wmv")).string();
        IWMWriter* w = nullptr;
        EXPECT_EQ(S_OK, WMCreateWriter(nullptr, &w));
        IWMProfile* profile = VideoProfile(quality);
        EXPECT_EQ(S_OK, w->SetProfile(profile));
        profile->Release();
        EXPECT_EQ(S_OK, SetVideo(w, MEDIASUBTYPE_RGB24, BI_RGB, 24, kSide));
        EXPECT_EQ(S_OK, w->SetOutputFilename(std::wstring(path.begin(), path.end()).c_str()));
        EXPECT_EQ(S_OK, w->BeginWriting());
        EXPECT_EQ(S_OK, WriteBytes(w, busy));
        EXPECT_EQ(S_OK, w->EndWriting());
        w->Release();
        // The file itself comes in packets of one size: ask for the frame's own bytes.
        std::string size;
        RunCommand("ffprobe -v error -show_entries packet=size -of csv=p=0 " + ShellQuote(path), &size);
        return std::stoi(size);
    };
    EXPECT_GT(bytes(100), 2 * bytes(10));
}

TEST(WmWriter, CallsOutOfOrderAreRefused) {
    TempDir dir;
    const std::string path = (dir / "order.wmv").string();
    IWMWriter* w = nullptr;
    ASSERT_EQ(S_OK, WMCreateWriter(nullptr, &w));
    DWORD count = 0;
    EXPECT_EQ(WMF_E_INVALID_REQUEST, w->GetInputCount(&count));  // no profile yet
    IWMProfile* profile = VideoProfile(0);
    ASSERT_EQ(S_OK, w->SetProfile(profile));
    profile->Release();
    ASSERT_EQ(S_OK, w->GetInputCount(&count));
    EXPECT_EQ(1u, count);
    IWMInputMediaProps* props = nullptr;
    EXPECT_EQ(E_INVALIDARG, w->GetInputProps(1, &props));
    // Formats the encoders cannot take.
    EXPECT_EQ(WMF_E_INVALID_INPUT_FORMAT, SetVideo(w, MEDIASUBTYPE_RGB8, BI_RGB, 8, kSide));
    EXPECT_EQ(WMF_E_INVALID_INPUT_FORMAT, SetVideo(w, MEDIASUBTYPE_RGB24, BI_RGB, 32, kSide));
    EXPECT_EQ(WMF_E_INVALID_INPUT_FORMAT, SetVideo(w, GUID_NULL, MAKEFOURCC('H', '2', '6', '4'), 24, kSide));
    EXPECT_EQ(WMF_E_INVALID_INPUT_FORMAT, SetVideo(w, MEDIASUBTYPE_RGB24, BI_RGB, 24, 100000));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, w->BeginWriting());  // no output name
    ASSERT_EQ(S_OK, w->SetOutputFilename(std::wstring(path.begin(), path.end()).c_str()));
    EXPECT_EQ(WMF_E_INVALID_INPUT_FORMAT, w->BeginWriting());  // input not typed
    ASSERT_EQ(S_OK, SetVideo(w, MEDIASUBTYPE_RGB24, BI_RGB, 24, kSide));
    const std::vector<BYTE> frame(DibRowBytes(kSide, 24) * kSide, 128);
    EXPECT_EQ(WMF_E_INVALID_REQUEST, WriteBytes(w, frame));  // not writing
    ASSERT_EQ(S_OK, w->BeginWriting());
    EXPECT_EQ(WMF_E_INVALID_REQUEST, w->SetProfile(profile));

    IWMWriterPreprocess* pre = nullptr;
    ASSERT_EQ(S_OK, w->QueryInterface(WmInterface::WriterPreprocess, reinterpret_cast<void**>(&pre)));
    DWORD passes = 0;
    ASSERT_EQ(S_OK, pre->GetMaxPreprocessingPasses(0, 0, &passes));
    EXPECT_EQ(1u, passes);
    EXPECT_EQ(E_INVALIDARG, pre->SetNumPreprocessingPasses(0, 0, 2));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, pre->BeginPreprocessingPass(0, 0));  // passes not set
    ASSERT_EQ(S_OK, pre->SetNumPreprocessingPasses(0, 0, 1));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, WriteBytes(w, frame));  // analysis still owed
    ASSERT_EQ(S_OK, pre->BeginPreprocessingPass(0, 0));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, WriteBytes(w, frame));  // analysis running
    INSSBuffer* s = nullptr;
    ASSERT_EQ(S_OK, w->AllocateSample(static_cast<DWORD>(frame.size()), &s));
    EXPECT_EQ(S_OK, pre->PreprocessSample(0, 0, 0, s));
    s->Release();
    ASSERT_EQ(S_OK, pre->EndPreprocessingPass(0, 0));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, pre->EndPreprocessingPass(0, 0));
    EXPECT_EQ(E_INVALIDARG, WriteBytes(w, std::vector<BYTE>(100)));  // shorter than a frame
    EXPECT_EQ(S_OK, WriteBytes(w, frame));
    EXPECT_EQ(WMF_E_INVALID_REQUEST, pre->SetNumPreprocessingPasses(0, 0, 1));  // file started
    pre->Release();
    EXPECT_EQ(S_OK, w->EndWriting());
    EXPECT_EQ(WMF_E_INVALID_REQUEST, w->EndWriting());
    w->Release();
}

TEST(WmWriter, SampleBuffersAreReusedOnceReleased) {
    IWMWriter* w = nullptr;
    ASSERT_EQ(S_OK, WMCreateWriter(nullptr, &w));
    INSSBuffer* a = nullptr;
    INSSBuffer* b = nullptr;
    ASSERT_EQ(S_OK, w->AllocateSample(1000, &a));
    ASSERT_EQ(S_OK, w->AllocateSample(1000, &b));
    EXPECT_NE(a, b);  // a is still held
    BYTE* first = nullptr;
    DWORD length = 0;
    a->GetBufferAndLength(&first, &length);
    a->Release();
    INSSBuffer* c = nullptr;
    ASSERT_EQ(S_OK, w->AllocateSample(800, &c));
    BYTE* again = nullptr;
    c->GetBufferAndLength(&again, &length);
    EXPECT_EQ(first, again);
    EXPECT_EQ(800u, length);
    EXPECT_EQ(E_INVALIDARG, c->SetLength(1001));
    INSSBuffer* huge = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, w->AllocateSample(0xFFFFFFFFu, &huge));
    // Buffers may outlive the writer.
    w->Release();
    c->Release();
    b->Release();
}

}  // namespace
