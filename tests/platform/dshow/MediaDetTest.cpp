#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/dshow/DShowInterfaces.h"
#include "tests/platform/dshow/IndexMovie.h"
#include "tests/support/TestSupport.h"

namespace {

using talvern::test::RunCommand;
using talvern::test::ShellQuote;
using talvern::test::TempDir;

constexpr int kW = 64;
constexpr int kH = 48;
constexpr long kRow = (kW * 3 + 3) & ~3;

bool MakeIndexMovie(const std::string& path, const std::string& rate, double seconds,
                    const std::string& codecArgs, const std::string& extra = "") {
    return talvern::test::MakeIndexMovie(path, kW, kH, rate, seconds, codecArgs, extra);
}

struct Delivery {
    double time;
    int index;  // from the top-left pixel; -1 when the rows are not laid out bottom-up
};

class Recorder : public ISampleGrabberCB {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT SampleCB(double, IMediaSample*) override { return S_OK; }
    HRESULT BufferCB(double time, BYTE* buf, long length) override {
        lengths.push_back(length);
        deliveries.push_back({time, talvern::test::IndexOfDib(buf, kW, kH)});
        return S_OK;
    }
    std::vector<Delivery> deliveries;
    std::vector<long> lengths;
};

struct Graph {
    std::shared_ptr<IMediaDet> det;
    std::shared_ptr<IMediaControl> control;
    std::shared_ptr<IMediaSeeking> seeking;
    std::shared_ptr<IMediaPosition> position;
    Recorder recorder;

    bool Open(const std::string& path) {
        det = CreateMediaDet();
        const std::wstring wide(path.begin(), path.end());
        if (!det || det->put_Filename(wide.c_str()) != S_OK) return false;
        if (det->EnterBitmapGrabMode(0.0) != S_OK) return false;
        std::shared_ptr<ISampleGrabber> grabber;
        if (det->GetSampleGrabber(&grabber) != S_OK) return false;
        grabber->SetCallback(&recorder, 1);
        FILTER_INFO info;
        if (std::dynamic_pointer_cast<IBaseFilter>(grabber)->QueryFilterInfo(&info) != S_OK)
            return false;
        control = std::dynamic_pointer_cast<IMediaControl>(info.pGraph);
        seeking = std::dynamic_pointer_cast<IMediaSeeking>(info.pGraph);
        position = std::dynamic_pointer_cast<IMediaPosition>(info.pGraph);
        return control && seeking && position;
    }
    // The index delivered by one run at time t, -2 when nothing came.
    int GrabAt(LONGLONG t) {
        control->Stop();
        const size_t before = recorder.deliveries.size();
        if (seeking->SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr,
                                  AM_SEEKING_NoPositioning) != S_OK ||
            control->Run() != S_OK)
            return -3;
        if (recorder.deliveries.size() == before) return -2;
        EXPECT_EQ(recorder.deliveries.size(), before + 1);
        return recorder.deliveries.back().index;
    }
};

// Names are file names, never URLs of other protocols, even when those would
// reach a readable movie.
TEST(MediaDet, RefusesWhatIsNotALocalMovie) {
    TempDir dir;
    const std::string movie = (dir / "m.avi").string();
    ASSERT_TRUE(MakeIndexMovie(movie, "25", 0.2, "-c:v ffv1"));
    const std::string text = (dir / "notes.avi").string();
    ASSERT_TRUE(talvern::test::WriteFileBytes(text, std::string(4096, 'x')));
    for (const std::string& name : {text, (dir / "missing.avi").string(),
                                    std::string("http://127.0.0.1:9/a.avi"), "concat:" + movie,
                                    "subfile,,start,0,end,0,,:" + movie}) {
        auto det = CreateMediaDet();
        const std::wstring wide(name.begin(), name.end());
        EXPECT_NE(det->put_Filename(wide.c_str()), S_OK) << name;
        long count = 0;
        EXPECT_NE(det->get_OutputStreams(&count), S_OK) << name;
        EXPECT_NE(det->EnterBitmapGrabMode(0.0), S_OK) << name;
    }
    auto det = CreateMediaDet();
    const std::wstring wide(movie.begin(), movie.end());
    EXPECT_EQ(det->put_Filename(wide.c_str()), S_OK);
}

// A header list that really holds a 2 GiB format block (sparse on disk) used to keep
// libavformat walking it for minutes; the open now gives up at its deadline.
TEST(MediaDet, AHugeHeaderIsGivenUpAtTheOpenDeadline) {
    TempDir dir;
    const std::string path = (dir / "huge.avi").string();
    const auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const uint32_t strf = (2u << 30) - 4096;
    const std::string avih = "avih" + le32(56) + le32(40000) + std::string(8, '\0') + le32(0x10) +
                             le32(10) + le32(0) + le32(1) + le32(0) + le32(kW) + le32(kH) +
                             std::string(16, '\0');
    const std::string strh = "strh" + le32(56) + "vidsDIB " + std::string(12, '\0') + le32(1) +
                             le32(25) + le32(0) + le32(10) + std::string(20, '\0');
    const std::string strl = "LIST" + le32(4 + 64 + 8 + strf) + "strl" + strh + "strf" + le32(strf);
    const uint32_t hdrl = 4 + uint32_t(avih.size() + strl.size()) + strf;
    const std::string head = "RIFF" + le32(0xFFFFFFF0u) + "AVI LIST" + le32(hdrl) + "hdrl" + avih + strl;
    ASSERT_TRUE(talvern::test::WriteFileBytes(path, head));
    std::filesystem::resize_file(path, head.size() + strf);
    {
        std::ofstream tail(path, std::ios::binary | std::ios::app);
        tail << "LIST" << le32(4 + 8 + 16) << "movi00db" << le32(16) << std::string(16, '\x10');
    }
    auto det = CreateMediaDet();
    const std::wstring wide(path.begin(), path.end());
    EXPECT_TRUE(talvern::test::FinishesWithin(std::chrono::seconds(20), {},
                                              [det, wide] { det->put_Filename(wide.c_str()); }));
}

// Positions of n x AvgTimePerFrame drift from 29.97 fps frame times; each run must
// still bring frame n, in any order of requests, once per run.
TEST(FrameGraph, DeliversTheNearestFrameOncePerRun) {
    TempDir dir;
    const std::string path = (dir / "ntsc.avi").string();
    ASSERT_TRUE(MakeIndexMovie(path, "30000/1001", 10.01, "-c:v ffv1"));
    Graph g;
    ASSERT_TRUE(g.Open(path));
    LONGLONG duration = 0;
    ASSERT_EQ(g.seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 100100000);
    double seconds = 0;
    ASSERT_EQ(g.position->get_Duration(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, 10.01);

    constexpr LONGLONG kFrame = 333667;
    for (int n : {0, 1, 2, 3, 150, 149, 299, 298, 297, 12, 13, 200, 250, 5})
        EXPECT_EQ(g.GrabAt(n * kFrame), n) << n;
    // Times between two frames go to the nearer one.
    EXPECT_EQ(g.GrabAt(40 * kFrame + kFrame / 3), 40);
    EXPECT_EQ(g.GrabAt(40 * kFrame + 2 * kFrame / 3), 41);
    EXPECT_NEAR(g.recorder.deliveries.back().time, 41 * 1001 / 30000.0, 1e-6);
    EXPECT_EQ(g.recorder.lengths.back(), kRow * kH);

    // A second run without a stop delivers nothing more.
    const size_t before = g.recorder.deliveries.size();
    EXPECT_EQ(g.control->Run(), S_OK);
    EXPECT_EQ(g.recorder.deliveries.size(), before);
}

// Inter-coded video with reordered frames: every frame reachable from anywhere.
TEST(FrameGraph, RandomAccessIntoReorderedInterFrames) {
    TempDir dir;
    for (const char* name : {"b.mkv", "b.mp4"}) {
        const std::string path = (dir / name).string();
        ASSERT_TRUE(MakeIndexMovie(path, "25", 4.0, "-c:v libx264rgb -qp 0 -bf 3 -g 12"));
        Graph g;
        ASSERT_TRUE(g.Open(path));
        for (int n : {0, 99, 50, 51, 13, 12, 11, 98, 97, 60, 1, 2, 24, 36})
            EXPECT_EQ(g.GrabAt(n * 400000LL), n) << name << " " << n;
    }
}

}  // namespace
