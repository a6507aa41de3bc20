#pragma once
// The audio of an AVI file beside its video: CDecAVIAudio picks the file's last
// audio stream, keeps its format, names it, maps video frames to audio samples
// and reads raw audio; CDecAVIAudioComp also decodes that audio to PCM.
#include <string>

#include "readers/DecAVI.h"
#include "writers/WavACM.h"

class CDecAVIAudio : public CDecAVI {
public:
    CDecAVIAudio();
    ~CDecAVIAudio() override;

    // 0, or 1002-1006 (and what the video reader's open returns).
    [[nodiscard]] int Open(const wchar_t* path) override;
    void Close() override;
    WAVEFORMATEX* GetAudioFormat() override { return m_audioFormatBlock; }
    virtual void ReadAudioInfo();

    int FrameToSample(int frame) const;
    void SetAudioPosition(int position) { m_audioPosition = position; }
    int GetAudioPosition() const { return m_audioPosition; }
    // Raw audio from the audio position on: as many whole samples as fit in *bytes.
    // 0 or 1007.
    int ReadAudio(int* samples, void* buffer, int* bytes);
    PAVISTREAM GetAudioStream() const { return m_audioStream; }
    AVISTREAMINFOW* GetAudioStreamInfo() { return &m_audioStreamInfo; }
    int GetSamplesPerSec() const { return m_samplesPerSec; }
    BOOL HasAudioStream() const { return m_audioStream ? TRUE : FALSE; }
    int GetAudioLength() const;
    int GetAudioStart() const;
    std::wstring GetFormatName() const { return m_formatName; }
    std::wstring GetChannelsText() const { return m_channelsText; }

    // The name of a wFormatTag ("?" for tags without one).
    static std::wstring FormatTagName(WORD tag);

protected:
    PAVISTREAM m_audioStream = nullptr;
    AVISTREAMINFOW m_audioStreamInfo{};
    WAVEFORMATEX* m_audioFormatBlock = nullptr;  // malloc'ed, the stream's whole format
    int32_t m_audioPosition = 0;
    int32_t m_samplesPerSec = 0;
    std::wstring m_channelsText;
    std::wstring m_formatName;

private:
    [[nodiscard]] int ChooseAudioStream();
    void ReleaseAudio();
    bool ReadAudioFormat();
};

class CDecAVIAudioComp : public CDecAVIAudio {
public:
    CDecAVIAudioComp();
    ~CDecAVIAudioComp() override;

    void Close() override;
    // Decoding restarts from the start of the stream's data at samplePosition.
    virtual void StartAudio(int samplePosition);

    // PCM bytes placed in buffer (fewer at the end of the stream, finally 0), or -1.
    int ReadPCM(void* buffer, int bytes);
    static int ReadCallback(void* buffer, int bytes, void* user);
    // Compressed bytes from the audio position on, past any empty chunks; 0 bytes only at
    // the end of the stream. 0 or 1007.
    int ReadSource(int* samples, void* buffer, int* bytes);
    // 0, 501 or 911.
    int PrepareDecode();
    // The PCM format ReadPCM delivers, once StartAudio has run.
    WAVEFORMATEX* GetPCMFormat() { return m_converter.GetSourceFormat(); }

private:
    CWavACM m_converter;
    bool m_wholeChunks = false;  // each read hands the decoder one chunk's whole frames
};
