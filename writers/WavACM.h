#pragma once
// Audio conversion engine shared by the AVI audio reader, the AVI writer's audio
// and the WAV file: PCM in and a target format out through a write callback, or a
// compressed source pulled through a read callback and PCM out. When the target
// codec takes PCM of another shape than the source, writing runs in two stages
// (source PCM -> the codec's PCM -> target).
#include <cstdint>
#include <vector>

#include "platform/acm/Acm.h"
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

class CWavACM {
public:
    // Returns the bytes taken, or -1 on failure.
    using WriteCallback = int (*)(const void* data, int bytes, void* user);
    // Returns the bytes delivered (0 at the end), or -1 on failure.
    using ReadCallback = int (*)(void* data, int bytes, void* user);

    CWavACM();
    virtual ~CWavACM();
    CWavACM(const CWavACM&) = delete;
    CWavACM& operator=(const CWavACM&) = delete;

    void Clear();

    void SetSourceFormat(const WAVEFORMATEX* f);
    void SetPCMFormat(int rate, int bits, int channels);
    WAVEFORMATEX* GetSourceFormat() { return &m_source; }
    const WAVEFORMATEX* GetSourceFormat() const { return &m_source; }

    void SetTargetFormat(const WAVEFORMATEX* f);
    HGLOBAL* TargetFormatRef() { return &m_target; }
    WAVEFORMATEX* GetTargetFormat();
    int GetTargetFormatSize();
    int GetMaxFormatSize();
    BOOL ChooseFormat(HWND owner);

    BOOL PrepareWriteFormats();
    BOOL OpenWriteStreams();
    int Write(const void* data, int bytes, WriteCallback callback, void* user);
    int WriteUnconverted(const void* data, int bytes, WriteCallback callback, void* user);
    BOOL Flush(WriteCallback callback, void* user);
    int GetSampleCount();

    BOOL OpenReadStream();
    int Read(void* buffer, int bytes, ReadCallback callback, void* user);

    void SetBytesDone(int bytes) { m_bytesDone = static_cast<DWORD>(bytes); }
    int GetBytesDone() const { return static_cast<int>(m_bytesDone); }
    void SetReadLimit(int limit) { m_readLimit = static_cast<DWORD>(limit); }
    int64_t GetInputBytes() const { return m_inputBytes; }

    // Output buffer of writing and compressed buffer of reading, before rounding to blocks.
    static constexpr DWORD kWriteOutputBytes = 0x3000;
    static constexpr DWORD kReadInputBytes = 0xC000;

private:
    // A GMEM_FIXED block and its bytes.
    struct Block {
        HGLOBAL handle = nullptr;
        BYTE* bytes = nullptr;
        DWORD size = 0;
        bool Allocate(DWORD n);
        void Free();
    };

    WAVEFORMATEX* Target() const;
    bool Convert(HACMSTREAM stream, ACMSTREAMHEADER& header, const BYTE* src, DWORD srcLength,
                 BYTE* dst, DWORD dstLength, DWORD flags);
    bool HandOn(const BYTE* data, DWORD bytes, WriteCallback callback, void* user);
    bool ConvertStaging(DWORD flags, WriteCallback callback, void* user);
    int WriteOneStage(const BYTE* data, int bytes, WriteCallback callback, void* user);
    int WriteTwoStages(const BYTE* data, int bytes, WriteCallback callback, void* user);
    bool FeedFirstStage(const BYTE* src, DWORD length, DWORD flags, DWORD* consumed);
    bool DrainFirstStage(WriteCallback callback, void* user);
    DWORD SourceBytesFor(HACMSTREAM stream, DWORD outputBytes) const;
    int ReadDecoded(BYTE* buffer, int bytes, ReadCallback callback, void* user);
    bool Refill(ReadCallback callback, void* user, bool* last);

    WAVEFORMATEX m_source{};
    HGLOBAL m_target = nullptr;
    HGLOBAL m_intermediate = nullptr;
    HACMSTREAM m_main = nullptr;
    HACMSTREAM m_first = nullptr;
    ACMSTREAMHEADER m_mainHeader{};
    ACMSTREAMHEADER m_firstHeader{};
    DWORD m_bytesDone = 0;
    int64_t m_codecInputBytes = 0;  // PCM the main stream took in, in the shape it takes
    DWORD m_readLimit = 0xFFFFFFFFu;
    int64_t m_inputBytes = 0;

    // Writing: source bytes waiting for a whole staging buffer, and the converted output.
    Block m_staging;
    DWORD m_stagingFill = 0;
    Block m_output;
    std::vector<BYTE> m_partialFrame;  // less than one source sample frame, two stages only

    // Reading: compressed bytes, and decoded PCM not yet handed out.
    Block m_compressed;
    DWORD m_compressedHeld = 0;
    DWORD m_compressedUsed = 0;
    Block m_pcm;
    DWORD m_pcmHeld = 0;
    DWORD m_pcmOffset = 0;
    bool m_readFinished = false;
};
