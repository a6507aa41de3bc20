#pragma once
// The Windows Media output of a conversion run. CEncWMV writes the video of a
// system profile (versions 4.0, 7.0, 8.0) or of a profile file, in one pass or,
// with a profile file, in two (an analysis pass, then the writing pass over the
// same frames). CEncWMVWMA adds the PCM audio input and tells the caller how much
// audio belongs to each frame.
#include <vector>

#include "foundation/ResultCodes.h"
#include "platform/win32/Win32Types.h"
#include "platform/wmf/WmWriter.h"
#include "writers/AudioDue.h"

class CEncWMV {
public:
    CEncWMV();
    virtual ~CEncWMV();
    CEncWMV(const CEncWMV&) = delete;
    CEncWMV& operator=(const CEncWMV&) = delete;

    [[nodiscard]] virtual int LoadProfileFile(const wchar_t* path);
    // version 0, 1, 2 pick 4.0, 7.0, 8.0 and the 1-based index of that version.
    [[nodiscard]] virtual int LoadSystemProfile(int version, int index4, int index7, int index8);
    // rate: frames per second x 10000.
    [[nodiscard]] virtual int Open(const wchar_t* path, const BITMAPINFOHEADER* input, int rate, int sampleRate, int channels,
                     int bits);
    [[nodiscard]] virtual int WriteVideoFrame(const void* bits);
    [[nodiscard]] virtual int Close();
    [[nodiscard]] virtual int EndPass();
    [[nodiscard]] virtual int BeginPass();
    virtual BOOL IsTwoPass();
    virtual void SetTwoPass(BOOL twoPass);
    virtual void SetVideoFormat(const BITMAPINFOHEADER* input, int rate);
    virtual void ReleaseAll();
    virtual HRESULT CreateWriter(const wchar_t* path);
    virtual HRESULT SetVideoInput();
    virtual HRESULT SetAudioInput(int sampleRate, int channels, int bits);

    // Number of system profiles of a format version (WMT_VER_4_0 ...), 0 when unavailable.
    static int GetSystemProfileCount(DWORD version);
    BOOL HasVideoInput() const { return m_videoInput != nullptr; }
    HRESULT BeginWriting();

protected:
    // Sample time of the next video frame, in 100-ns units.
    QWORD VideoTime() const;
    // Ends the video analysis pass; 0 or 3007.
    [[nodiscard]] int EndVideoAnalysis();
    // Hands a sample to the analysis pass or the file, as the two-pass flag says.
    HRESULT Deliver(DWORD input, QWORD time, const void* data, DWORD bytes);

    int m_frameCount = 0;
    IWMProfile* m_profile = nullptr;
    IWMWriter* m_writer = nullptr;
    IWMInputMediaProps* m_videoInput = nullptr;
    DWORD m_videoInputNumber = 0;
    AVISTREAMINFOW m_videoStreamInfo{};
    BITMAPINFOHEADER m_inputHeader{};
    IWMWriterPreprocess* m_preprocess = nullptr;
    BOOL m_twoPass = FALSE;
    IWMInputMediaProps* m_audioInput = nullptr;
    DWORD m_audioInputNumber = 0;
    BOOL m_opened = FALSE;
};

class CEncWMVWMA : public CEncWMV {
public:
    CEncWMVWMA() = default;
    ~CEncWMVWMA() override;

    [[nodiscard]] int EndPass() override;
    [[nodiscard]] int BeginPass() override;
    HRESULT SetAudioInput(int sampleRate, int channels, int bits) override;
    [[nodiscard]] virtual int WriteAudio(const void* pcm, int bytes);

    BOOL HasAudioInput() const { return m_audioInput != nullptr; }
    // Bytes of source PCM owed up to the end of the frames written so far (0 or less
    // when the audio is ahead).
    int GetAudioBytesDue();
    AudioDueBasis GetAudioDueBasis() const;
    // Writes silence up to the length of the frames written.
    void PadAudioToVideo();

protected:
    int64_t m_audioBytesWritten = 0;
    WAVEFORMATEX m_audioFormat{};
    std::vector<BYTE> m_silence;
};
