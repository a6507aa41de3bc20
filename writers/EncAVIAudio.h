#pragma once
// The audio stream of the AVI writer: either the source's PCM recompressed
// through the audio conversion engine while the frames are written
// (CEncAVIAudioComp), or the source file's audio stream copied sample for sample
// after the last frame (CEncAVIAudio).
#include <string>

#include "writers/AudioDue.h"
#include "writers/EncAVI.h"
#include "writers/WavACM.h"

// Asked when a read of the source audio fails during a copy; true stops the copy,
// false skips the sample. Without one the copy stops.
class IAudioReadFailurePrompt {
public:
    virtual ~IAudioReadFailurePrompt() = default;
    virtual bool AskStop(const std::wstring& text) = 0;
};

class CEncAVIAudio : public CEncAVI_Comp {
public:
    CEncAVIAudio();
    ~CEncAVIAudio() override;

    [[nodiscard]] int Close() override;

    // Adds a stream for a copy of the source's audio; an empty path uses the open file.
    [[nodiscard]] int OpenAudio(const WAVEFORMATEX* format, const AVISTREAMINFOW* info, const wchar_t* path);
    // Both counts in and out; *samples 0 derives the count from the stream's block size.
    [[nodiscard]] int WriteAudioSamples(int* samples, const void* data, int* bytes);
    // Copies source samples [start, end) into the audio stream.
    [[nodiscard]] int CopyAudioStream(int start, int end, PAVISTREAM source);

    // The source audio samples [*start, *end) that play during video frames
    // firstFrame..lastFrame inclusive, so that a copy covers exactly the frames written.
    static void AudioRangeForFrames(const AVISTREAMINFOW& video, const AVISTREAMINFOW& audio, int firstFrame,
                                    int lastFrame, int* start, int* end);

    void SetReadFailurePrompt(IAudioReadFailurePrompt* prompt) { m_prompt = prompt; }

protected:
    PAVISTREAM m_audioStream = nullptr;
    int m_audioPosition = 0;
    BOOL m_copied = FALSE;
    IAudioReadFailurePrompt* m_prompt = nullptr;
};

class CEncAVIAudioComp : public CEncAVIAudio {
public:
    CEncAVIAudioComp();
    ~CEncAVIAudioComp() override;

    [[nodiscard]] int Close() override;

    void SetSourcePCMFormat(int rate, int bits, int channels);
    // -2 when the chooser was cancelled or failed.
    [[nodiscard]] int ChooseAudioFormat(HWND owner);
    [[nodiscard]] virtual int CreateAudioStream();
    [[nodiscard]] virtual int WriteAudio(const void* pcm, int bytes);
    // Source PCM bytes still owed up to the end of the video written so far (may be <= 0).
    int GetAudioBytesDue();
    AudioDueBasis GetAudioDueBasis() const;
    void PadAudioToVideo();

protected:
    static int WriteConvertedCallback(const void* data, int bytes, void* writer);

    CWavACM m_acm;
};
