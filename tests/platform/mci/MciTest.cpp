// The player device: the sound it hands the audio device, the pace and order of its
// pictures, stop and resume, seeks, playing without sound, and its errors. SDL's
// disk driver writes what the device plays to a file at the pace of real sound.
#include "platform/mci/Mci.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/mci/MciMovie.h"
#include "platform/mci/MciVideoSurface.h"
#include "readers/DecAVIAudio.h"
#include "tests/data/SyntheticAvi.h"
#include "tests/data/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace talvern::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSampleRate = 8000;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old, m_had = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

// No sample of the movie's sound is zero, so silence the device adds stands out.
int16_t SoundSample(int i) { return int16_t(1 + (i * 37) % 20000); }

// `frames` pictures of the index pattern at `fps`, and with sound one chunk of
// 16-bit mono PCM per frame.
std::filesystem::path MakeMovie(const TempDir& dir, int frames, int fps, bool sound) {
    SynthAvi avi = SimpleVideo(frames);
    avi.streams[0].rate = DWORD(fps);
    if (sound) {
        SynthStream a;
        a.type = streamtypeAUDIO;
        a.scale = 2;
        a.rate = kSampleRate * 2;
        a.sampleSize = 2;
        a.format = PcmFormat(kSampleRate, 1, 16);
        avi.streams.push_back(a);
        const int perFrame = kSampleRate / fps;
        std::vector<SynthChunk> chunks;
        for (int f = 0; f < frames; ++f) {
            chunks.push_back(avi.chunks[size_t(f)]);
            std::string pcm(size_t(perFrame) * 2, '\0');
            for (int s = 0; s < perFrame; ++s) {
                const int16_t v = SoundSample(f * perFrame + s);
                std::memcpy(&pcm[size_t(s) * 2], &v, 2);
            }
            chunks.push_back({1, pcm, true});
        }
        avi.chunks = chunks;
    }
    const auto path = dir / (sound ? "sound.avi" : "silent.avi");
    EXPECT_TRUE(WriteFileBytes(path, BuildSyntheticAvi(avi)));
    return path;
}

// The PCM a reader of our own delivers from frame k on.
std::string PcmFrom(const std::filesystem::path& path, int k) {
    CDecAVIAudioComp reader;
    EXPECT_EQ(reader.Open(path.wstring().c_str()), 0);
    reader.StartAudio(reader.FrameToSample(k));
    std::string pcm, buffer(4096, '\0');
    for (int n; (n = reader.ReadPCM(buffer.data(), int(buffer.size()))) > 0;) pcm.append(buffer, 0, size_t(n));
    return pcm;
}

std::vector<int16_t> Samples(const std::string& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

class RecordingSurface : public IMciVideoSurface {
public:
    struct Shown {
        int frame;
        int pictured;  // the index the pixels carry
        double at;     // seconds since Arm
    };
    void Arm() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_start = Clock::now();
        m_shown.clear();
    }
    void ShowFrame(int frame, const BITMAPINFOHEADER& h, const void* bits) override {
        const int pictured = ReadIndexFromDib(bits, h.biWidth, h.biHeight);
        std::lock_guard<std::mutex> lock(m_lock);
        const std::chrono::duration<double> at = Clock::now() - m_start;
        m_shown.push_back({frame, pictured, at.count()});
    }
    std::vector<Shown> Taken() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_shown;
    }

private:
    std::mutex m_lock;
    Clock::time_point m_start = Clock::now();
    std::vector<Shown> m_shown;
};

bool WaitUntilStopped(const CMciMovie& movie, double seconds = 20) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (movie.IsPlaying() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !movie.IsPlaying();
}

// Frames come in order, carry their own pictures, and none before its time on the
// clock started with the play (the sound clock may lead the wall clock by one pull).
void ExpectPlayedInTime(const std::vector<RecordingSurface::Shown>& shown, int from, int count, int fps) {
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().frame, from);
    EXPECT_EQ(shown.back().frame, count - 1);
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].pictured, shown[i].frame);
        if (i > 0) {
            EXPECT_GT(shown[i].frame, shown[i - 1].frame);
        }
        EXPECT_GE(shown[i].at, double(shown[i].frame - from) / fps - 0.08) << "frame " << shown[i].frame;
    }
}

struct DiskSound {
    explicit DiskSound(const TempDir& dir)
        : file(dir / "played.raw"), driver("SDL_AUDIODRIVER", "disk"), out("SDL_DISKAUDIOFILE", file.string()) {}
    // What the device played, without the silence before the first sound.
    std::vector<int16_t> Played() const {
        std::vector<int16_t> s = Samples(ReadFileBytes(file));
        size_t first = 0;
        while (first < s.size() && s[first] == 0) ++first;
        return std::vector<int16_t>(s.begin() + long(first), s.end());
    }
    std::filesystem::path file;
    ScopedEnv driver, out;
};

TEST(MciMovie, SoundFromAStartFrameIsTheMoviesPcmFromThatFramesSampleAndTimesThePictures) {
    TempDir dir;
    DiskSound disk(dir);
    const int frames = 20, fps = 25, k = 7;
    const auto path = MakeMovie(dir, frames, fps, true);
    RecordingSurface surface;
    CMciMovie movie;
    ASSERT_EQ(movie.Open(path.wstring().c_str(), &surface), 0u);
    ASSERT_TRUE(movie.HasSound());
    surface.Arm();
    ASSERT_EQ(movie.PlayFrom(k), 0u);
    ASSERT_TRUE(WaitUntilStopped(movie));
    EXPECT_EQ(movie.GetPosition(), frames - 1);
    movie.Close();

    ExpectPlayedInTime(surface.Taken(), k, frames, fps);
    const double took = surface.Taken().back().at;
    EXPECT_GE(took, double(frames - 1 - k) / fps - 0.08);
    // Played: the PCM from FrameToSample(k) on without a gap, then only silence.
    const std::vector<int16_t> expected = Samples(PcmFrom(path, k));
    ASSERT_EQ(expected.size(), size_t(frames - k) * kSampleRate / fps);
    const std::vector<int16_t> played = disk.Played();
    ASSERT_GE(played.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played.begin()));
    for (size_t i = expected.size(); i < played.size(); ++i) ASSERT_EQ(played[i], 0) << "sample " << i;
}

TEST(MciMovie, StopHoldsPictureAndSoundAndResumeGoesOnWhereItStopped) {
    TempDir dir;
    DiskSound disk(dir);
    const int frames = 25, fps = 25;
    const auto path = MakeMovie(dir, frames, fps, true);
    RecordingSurface surface;
    CMciMovie movie;
    ASSERT_EQ(movie.Open(path.wstring().c_str(), &surface), 0u);
    ASSERT_EQ(movie.PlayFrom(0), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(movie.Stop(), 0u);
    const int held = movie.GetPosition();
    const size_t shownAtStop = surface.Taken().size();
    EXPECT_GT(held, 0);
    EXPECT_LT(held, frames - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(movie.GetPosition(), held);
    EXPECT_EQ(surface.Taken().size(), shownAtStop);
    ASSERT_EQ(movie.Resume(), 0u);
    ASSERT_TRUE(WaitUntilStopped(movie));
    movie.Close();

    const auto shown = surface.Taken();
    ASSERT_GT(shown.size(), shownAtStop);
    EXPECT_GT(shown[shownAtStop].frame, held);
    EXPECT_LE(shown[shownAtStop].frame, held + 3);
    EXPECT_EQ(shown.back().frame, frames - 1);
    // The whole sound once, in order, with silence where it stopped.
    const std::vector<int16_t> expected = Samples(PcmFrom(path, 0));
    std::vector<int16_t> sound;
    size_t gap = 0, longestGap = 0;
    for (int16_t s : disk.Played()) {
        if (s != 0) {
            sound.push_back(s);
            gap = 0;
        } else if (sound.size() < expected.size()) {
            longestGap = std::max(longestGap, ++gap);
        }
    }
    EXPECT_EQ(sound, expected);
    EXPECT_GE(longestGap, 512u);
}

TEST(MciMovie, PlaysBySteadyClockWithoutSoundOrWithoutAnAudioDevice) {
    TempDir dir;
    const int frames = 15, fps = 30;
    struct Case {
        const char* name;
        bool sound;
        const char* driver;
        bool heard;
    };
    for (const Case& c : {Case{"movie without sound", false, "disk", false},
                          Case{"no audio device", true, "no-such-driver", false},
                          Case{"dummy audio device", true, "dummy", true}}) {
        SCOPED_TRACE(c.name);
        ScopedEnv driver("SDL_AUDIODRIVER", c.driver);
        ScopedEnv out("SDL_DISKAUDIOFILE", (dir / "unused.raw").string());
        const auto path = MakeMovie(dir, frames, fps, c.sound);
        RecordingSurface surface;
        CMciMovie movie;
        ASSERT_EQ(movie.Open(path.wstring().c_str(), &surface), 0u);
        EXPECT_EQ(movie.HasSound(), c.heard);
        surface.Arm();
        ASSERT_EQ(movie.PlayFrom(0), 0u);
        ASSERT_TRUE(WaitUntilStopped(movie));
        ExpectPlayedInTime(surface.Taken(), 0, frames, fps);
        EXPECT_GE(surface.Taken().back().at, double(frames - 1) / fps - 0.08);
    }
}

TEST(MciMovie, SeeksShowTheFirstAndLastFramesAndPlayAfterTheEndDoesNothing) {
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    const auto path = MakeMovie(dir, 12, 25, true);
    RecordingSurface surface;
    const HWND window = reinterpret_cast<HWND>(&surface);
    MciRegisterVideoSurface(window, &surface);
    MCI_DGV_OPEN_PARMSW open{};
    open.lpstrDeviceType = L"avivideo";
    const std::wstring element = path.wstring();
    open.lpstrElementName = element.c_str();
    open.hWndParent = window;
    const DWORD openFlags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_DGV_OPEN_PARENT | MCI_DGV_OPEN_WS;
    ASSERT_EQ(mciSendCommand(0, MCI_OPEN, openFlags, DWORD_PTR(&open)), 0u);
    const MCIDEVICEID id = open.wDeviceID;
    EXPECT_NE(id, MCI_INVALID_DEVICE_ID);

    ASSERT_EQ(mciSendCommand(id, MCI_SEEK, MCI_WAIT | MCI_SEEK_TO_END, 0), 0u);
    ASSERT_EQ(surface.Taken().size(), 1u);
    EXPECT_EQ(surface.Taken().back().pictured, 11);
    // At the end, play from the current position has nothing left to show.
    MCI_PLAY_PARMS play{};
    ASSERT_EQ(mciSendCommand(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(mciSendCommand(id, MCI_STOP, MCI_WAIT, 0), 0u);
    EXPECT_EQ(surface.Taken().size(), 2u);
    EXPECT_EQ(surface.Taken().back().pictured, 11);

    ASSERT_EQ(mciSendCommand(id, MCI_SEEK, MCI_WAIT | MCI_SEEK_TO_START, 0), 0u);
    EXPECT_EQ(surface.Taken().back().pictured, 0);
    play.dwFrom = 10;
    ASSERT_EQ(mciSendCommand(id, MCI_PLAY, MCI_NOTIFY | MCI_FROM, DWORD_PTR(&play)), 0u);
    ASSERT_EQ(mciSendCommand(id, MCI_CLOSE, 0, 0), 0u);
    const size_t shown = surface.Taken().size();
    EXPECT_EQ(surface.Taken()[2].pictured, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(surface.Taken().size(), shown);  // nothing reaches the surface after the close
    EXPECT_EQ(mciSendCommand(id, MCI_STOP, MCI_WAIT, 0), MCIERR_INVALID_DEVICE_ID);
    MciUnregisterVideoSurface(window);
}

TEST(MciMovie, OpenAndCloseManyTimesWhilePlaying) {
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    const auto path = MakeMovie(dir, 40, 25, true);
    RecordingSurface surface;
    for (int i = 0; i < 20; ++i) {
        CMciMovie movie;
        ASSERT_EQ(movie.Open(path.wstring().c_str(), &surface), 0u);
        ASSERT_EQ(movie.PlayFrom(i), 0u);
        if (i % 2) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const auto start = Clock::now();
        movie.Close();
        EXPECT_FALSE(movie.IsPlaying());
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    }
}

TEST(Mci, CommandsRefuseWhatTheyCannotCarryOut) {
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    const auto movie = MakeMovie(dir, 5, 25, false);
    const auto text = dir / "notes.txt";
    ASSERT_TRUE(WriteFileBytes(text, "not a movie"));
    const std::wstring moviePath = movie.wstring(), textPath = text.wstring(), missing = (dir / "x.avi").wstring();
    const DWORD both = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT;
    struct OpenCase {
        DWORD flags;
        const wchar_t* type;
        const wchar_t* element;
        MCIERROR expected;
    };
    for (const OpenCase& c : {OpenCase{both, L"WaveAudio", moviePath.c_str(), MCIERR_INVALID_DEVICE_NAME},
                              OpenCase{MCI_OPEN_ELEMENT, L"AVIVideo", moviePath.c_str(), MCIERR_DEVICE_TYPE_REQUIRED},
                              OpenCase{MCI_OPEN_TYPE, L"AVIVideo", moviePath.c_str(), MCIERR_FILENAME_REQUIRED},
                              OpenCase{both, L"AVIVideo", missing.c_str(), MCIERR_FILE_NOT_FOUND},
                              OpenCase{both, L"AVIVideo", textPath.c_str(), MCIERR_INVALID_FILE},
                              OpenCase{both | 0x400, L"AVIVideo", moviePath.c_str(), MCIERR_UNSUPPORTED_FUNCTION}}) {
        MCI_DGV_OPEN_PARMSW open{};
        open.lpstrDeviceType = c.type;
        open.lpstrElementName = c.element;
        EXPECT_EQ(mciSendCommand(0, MCI_OPEN, c.flags, DWORD_PTR(&open)), c.expected) << c.flags;
        EXPECT_EQ(open.wDeviceID, MCI_INVALID_DEVICE_ID);
    }
    EXPECT_EQ(mciSendCommand(0, MCI_OPEN, both, 0), MCIERR_NULL_PARAMETER_BLOCK);
    // Nothing answers to the invalid id.
    for (UINT command : {MCI_PLAY, MCI_STOP, MCI_SEEK, MCI_CLOSE})
        EXPECT_EQ(mciSendCommand(MCI_INVALID_DEVICE_ID, command, MCI_WAIT | MCI_SEEK_TO_START, 0),
                  MCIERR_INVALID_DEVICE_ID);

    MCI_DGV_OPEN_PARMSW open{};
    open.lpstrDeviceType = L"AVIVideo";
    open.lpstrElementName = moviePath.c_str();
    ASSERT_EQ(mciSendCommand(0, MCI_OPEN, both, DWORD_PTR(&open)), 0u);
    const MCIDEVICEID id = open.wDeviceID;
    MCI_PLAY_PARMS play{};
    play.dwFrom = 5;
    EXPECT_EQ(mciSendCommand(id, MCI_PLAY, MCI_FROM, DWORD_PTR(&play)), MCIERR_OUTOFRANGE);
    EXPECT_EQ(mciSendCommand(id, MCI_PLAY, MCI_FROM, 0), MCIERR_NULL_PARAMETER_BLOCK);
    EXPECT_EQ(mciSendCommand(id, MCI_SEEK, MCI_WAIT, 0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(mciSendCommand(id, MCI_SEEK, MCI_SEEK_TO_START | MCI_SEEK_TO_END, 0), MCIERR_FLAGS_NOT_COMPATIBLE);
    EXPECT_EQ(mciSendCommand(id, 0x0809, 0, 0), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mciSendCommand(id, MCI_CLOSE, MCI_WAIT, 0), 0u);
    EXPECT_EQ(mciSendCommand(id, MCI_CLOSE, MCI_WAIT, 0), MCIERR_INVALID_DEVICE_ID);
}

TEST(Mci, ErrorTextsInBothLanguagesFitTheBuffer) {
    wchar_t text[520];
    {
        ScopedLanguage english(false);
        EXPECT_TRUE(mciGetErrorString(MCIERR_FILE_NOT_FOUND, text, 520));
        EXPECT_STREQ(text, L"The file was not found.");
        EXPECT_TRUE(mciGetErrorString(MCIERR_FILE_NOT_FOUND, text, 9));
        EXPECT_STREQ(text, L"The file");
        EXPECT_FALSE(mciGetErrorString(12345, text, 520));
        EXPECT_STREQ(text, L"Unknown device error.");
        EXPECT_FALSE(mciGetErrorString(MCIERR_FILE_NOT_FOUND, text, 0));
    }
    ScopedLanguage japanese(true);
    EXPECT_TRUE(mciGetErrorString(MCIERR_FILE_NOT_FOUND, text, 520));
    EXPECT_STREQ(text, L"ファイルが見つかりません。");
}

}  // namespace
}  // namespace talvern::test
