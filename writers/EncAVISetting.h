#pragma once
// The AVI compressor settings: the chosen video compressor, its state block and
// the audio format last chosen for recompressed AVI audio are kept in the
// registry under "AviVideoSettings"; quality, key-frame interval and data rate
// live only as long as the program.
#include "platform/win32/GlobalMemory.h"
#include "platform/win32/Win32Types.h"

class CEncAVISetting {
public:
    CEncAVISetting();   // loads
    virtual ~CEncAVISetting();  // saves
    CEncAVISetting(const CEncAVISetting&) = delete;
    CEncAVISetting& operator=(const CEncAVISetting&) = delete;

    int GetQuality() const { return m_quality; }
    int GetKeyFrameRate() const { return m_keyFrameRate; }
    int GetDataRate() const { return m_dataRate; }
    DWORD GetHandler() const { return m_handler; }
    int GetStateSize() const { return m_stateSize; }
    // The block stays owned here.
    HGLOBAL GetState() const { return m_state; }
    const WAVEFORMATEX* GetAudioFormat() const;

    void SetQuality(int quality) { m_quality = quality; }
    void SetKeyFrameRate(int keyFrameRate) { m_keyFrameRate = keyFrameRate; }
    void SetDataRate(int dataRate) { m_dataRate = dataRate; }
    void SetHandler(DWORD handler) { m_handler = handler; }
    void SetStateSize(int size) { m_stateSize = size; }
    // Takes ownership of a GMEM_FIXED block; the previous block is freed.
    void SetState(HGLOBAL state);
    // Copies the whole format into a block of its own (at least 256 bytes); null
    // leaves none. At most 256 bytes of it are stored at exit.
    void SetAudioFormat(const WAVEFORMATEX* format);

    static constexpr DWORD kDefaultHandler = 0x20424944;  // "DIB "
    static constexpr int kAudioBlockBytes = 256;

private:
    int m_quality = 100;
    int m_keyFrameRate = 15;
    int m_dataRate = 300;
    DWORD m_handler = kDefaultHandler;
    int m_stateSize = 0;
    HGLOBAL m_state = nullptr;
    HGLOBAL m_audioFormat = nullptr;
};
