// The image file worker: frames are finished in the order handed over, each frame's
// files in the order given and before its movie frame; the first failure stops every
// frame after it; a full worker takes no frame until a slot frees; and a worker that
// ends with frames in flight finishes them first.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/ResultCodes.h"
#include "image/ImageFileWorker.h"
#include "image/ResImgFile.h"
#include "tests/image/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace imagetest;
using talvern::test::ReadFileBytes;
using talvern::test::TempDir;

namespace {

// Records the frames it takes and which of their files were on disk by then; can hold
// each frame until the test lets it go, and can fail one frame.
class RecordingWriter : public CImageFileWorker::FrameWriter {
public:
    explicit RecordingWriter(const TempDir& dir) : m_dir(dir) {}
    int WriteFrame(const BYTE*, int place) override {
        std::unique_lock<std::mutex> hold(m_lock);
        EXPECT_GE(place, 0);
        EXPECT_LT(place, CImageFileWorker::kMaxSlots);
        const int frame = static_cast<int>(taken.size());
        taken.push_back(frame);
        filesBefore.push_back(fs::exists(m_dir / Name(frame, "png")) && !fs::exists(m_dir / Name(frame + 1, "bmp")));
        m_changed.notify_all();
        m_changed.wait(hold, [&] { return !holding; });
        return frame == failAt ? 2006 : 0;
    }
    void WaitTaken(size_t count) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return taken.size() >= count; });
    }
    void Release() {
        std::lock_guard<std::mutex> hold(m_lock);
        holding = false;
        m_changed.notify_all();
    }
    static std::string Name(int frame, const char* ext) { return "f" + std::to_string(frame) + "." + ext; }

    std::vector<int> taken;
    std::vector<bool> filesBefore;
    bool holding = false;
    int failAt = -1;

private:
    const TempDir& m_dir;
    std::mutex m_lock;
    std::condition_variable m_changed;
};

struct Posting {
    explicit Posting(const TempDir& d) : dir(d), frame(24, 16, Coded), header(frame.Header()) {}
    std::vector<std::wstring> Paths(int n) const {
        return {Wide(dir / RecordingWriter::Name(n, "bmp")), Wide(dir / RecordingWriter::Name(n, "jpg")),
                Wide(dir / RecordingWriter::Name(n, "png"))};
    }
    bool Post(CImageFileWorker& worker, int n, RecordingWriter* writer, std::vector<std::wstring> paths = {}) {
        if (paths.empty()) paths = Paths(n);
        return worker.Post(n, frame.bits.data(), header, 80, paths.data(), static_cast<int>(paths.size()), false,
                           writer);
    }
    const TempDir& dir;
    Frame frame;
    BITMAPINFOHEADER header;
};

// Whether a thread of this process sleeps. Ending the worker sleeps only in the join of
// its thread, once it has told it to quit: its lock is free while the writer holds a frame.
bool Sleeping(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The state follows the command name, which is in parentheses and may hold spaces.
    const size_t name = line.rfind(')');
    return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
}

class ImageFileWorkerTest : public ::testing::Test {
protected:
    // Hands frames over until the worker refuses one; how many it took (at most 8).
    int PostUntilFull(CImageFileWorker& worker) {
        int posted = 0;
        while (posted < 8 && posting.Post(worker, posted, &writer)) ++posted;
        return posted;
    }

    TempDir dir;
    Posting posting{dir};
    RecordingWriter writer{dir};
};

TEST_F(ImageFileWorkerTest, FramesAndTheirFilesComeInOrderWithTheBytesOfWritingInLine) {
    CImageFileWorker worker(3);
    constexpr int kFrames = 12;
    for (int n = 0; n < kFrames; ++n) {
        while (!posting.Post(worker, n, &writer)) ASSERT_TRUE(worker.WaitForSlot(60000));
    }
    ASSERT_TRUE(worker.WaitForAll(60000));
    EXPECT_FALSE(worker.Failed());
    ASSERT_EQ(writer.taken.size(), size_t{kFrames});
    for (int n = 0; n < kFrames; ++n) {
        EXPECT_EQ(writer.taken[static_cast<size_t>(n)], n);
        EXPECT_TRUE(writer.filesBefore[static_cast<size_t>(n)]) << "frame " << n;
    }
    CResImgFile inLine;
    for (const char* ext : {"bmp", "jpg", "png"}) {
        BITMAPINFOHEADER h = posting.header;
        const fs::path own = dir / (std::string("own.") + ext);
        ASSERT_TRUE(inLine.Save(posting.frame.bits.data(), &h, Wide(own).c_str(), 80));
        EXPECT_EQ(ReadFileBytes(dir / RecordingWriter::Name(kFrames - 1, ext)), ReadFileBytes(own)) << ext;
    }
}

TEST_F(ImageFileWorkerTest, TheFirstFailureEndsTheFramesAfterItUntilCleared) {
    CImageFileWorker worker(2);
    // Frame 2's second file cannot be made; frame 1 then fails in its movie frame.
    writer.failAt = 1;
    for (int n = 0; n < 6; ++n) {
        std::vector<std::wstring> paths = posting.Paths(n);
        if (n == 2) paths[1] = Wide(dir / "missing" / "f2.jpg");
        while (!posting.Post(worker, n, &writer, paths)) ASSERT_TRUE(worker.WaitForSlot(60000));
    }
    ASSERT_TRUE(worker.WaitForAll(60000));
    ASSERT_TRUE(worker.Failed());
    EXPECT_EQ(worker.FailedTag(), 1);
    EXPECT_EQ(worker.FailedCode(), 2006);
    EXPECT_EQ(writer.taken.size(), 2u);
    for (int n = 2; n < 6; ++n) EXPECT_FALSE(fs::exists(dir / RecordingWriter::Name(n, "bmp"))) << n;

    // Cleared, the next frame is written; a file that fails reports 502 and stops the frame.
    worker.ClearFailure();
    std::vector<std::wstring> paths = posting.Paths(7);
    paths[0] = Wide(dir / "missing" / "f7.bmp");
    ASSERT_TRUE(posting.Post(worker, 7, &writer, paths));
    ASSERT_TRUE(worker.WaitForAll(60000));
    EXPECT_EQ(worker.FailedTag(), 7);
    EXPECT_EQ(worker.FailedCode(), ResultCode::kOutput);
    EXPECT_FALSE(fs::exists(dir / RecordingWriter::Name(7, "png")));
    EXPECT_EQ(writer.taken.size(), 2u);
}

TEST_F(ImageFileWorkerTest, AFullWorkerTakesAFrameOnlyOnceASlotFrees) {
    writer.holding = true;
    CImageFileWorker worker(1);
    const int posted = PostUntilFull(worker);
    ASSERT_EQ(posted, 2);  // one frame being written, one waiting
    writer.WaitTaken(1);
    EXPECT_FALSE(worker.WaitForSlot(20));
    EXPECT_FALSE(worker.WaitForAll(0));
    writer.Release();
    ASSERT_TRUE(worker.WaitForSlot(60000));
    EXPECT_TRUE(posting.Post(worker, posted, &writer));
    ASSERT_TRUE(worker.WaitForAll(60000));
    EXPECT_EQ(writer.taken.size(), 3u);
}

TEST_F(ImageFileWorkerTest, EndingWithFramesInFlightFinishesThemFirst) {
    writer.holding = true;
    // One thread: the frame waiting behind the one held is not yet taken when the end comes.
    std::optional<CImageFileWorker> worker(std::in_place, 1);
    const int posted = PostUntilFull(*worker);
    ASSERT_EQ(posted, 2);
    writer.WaitTaken(1);
    std::atomic<pid_t> endingThread{0};
    std::thread ending([&] {
        endingThread = static_cast<pid_t>(syscall(SYS_gettid));
        worker.reset();
    });
    // Frame 1 is let go only once the end has told the worker to quit and waits for its
    // thread, so that the end meets frame 1 not yet taken.
    while (endingThread == 0 || !Sleeping(endingThread)) std::this_thread::yield();
    writer.Release();
    ending.join();
    ASSERT_EQ(writer.taken.size(), static_cast<size_t>(posted));
    for (int n = 0; n < posted; ++n) EXPECT_TRUE(fs::exists(dir / RecordingWriter::Name(n, "png"))) << n;
}

}  // namespace
