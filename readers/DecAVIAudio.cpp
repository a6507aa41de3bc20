#include "readers/DecAVIAudio.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "foundation/LangString.h"

namespace {

struct TagName {
    WORD tag;
    const wchar_t* name;
};

constexpr TagName kTagNames[] = {
    {0x0001, L"PCM"}, {0x0002, L"ADPCM"}, {0x0003, L"IEEE-FLOAT"}, {0x0005, L"IBM-CVSD"}, {0x0006, L"ALAW"},
    {0x0007, L"MULAW"}, {0x0010, L"OKI-ADPCM"}, {0x0011, L"DVI-ADPCM"}, {0x0012, L"MEDIASPACE-ADPCM"},
    {0x0013, L"SIERRA-ADPCM"}, {0x0014, L"G723-ADPCM"}, {0x0015, L"DIGISTD"}, {0x0016, L"DIGIFIX"},
    {0x0017, L"DIALOGIC-OKI-ADPCM"}, {0x0018, L"MEDIAVISION-ADPCM"}, {0x0020, L"YAMAHA-ADPCM"},
    {0x0021, L"SONARC"}, {0x0022, L"DSPGROUP-TRUESPEECH"}, {0x0023, L"ECHOSC1"}, {0x0024, L"AUDIOFILE-AF36"},
    {0x0025, L"APTX"}, {0x0026, L"AUDIOFILE-AF10"}, {0x0030, L"DOLBY-AC2"}, {0x0031, L"GSM610"},
    {0x0032, L"MSNAUDIO"}, {0x0033, L"ANTEX-ADPCME"}, {0x0034, L"CONTROL-RES-VQLPC"}, {0x0035, L"DIGIREAL"},
    {0x0036, L"DIGIADPCM"}, {0x0037, L"CONTROL-RES-CR10"}, {0x0038, L"NMS-VBXADPCM"}, {0x0039, L"CS-IMAADPCM"},
    {0x003A, L"ECHOSC3"}, {0x003B, L"ROCKWELL-ADPCM"}, {0x003C, L"ROCKWELL-DIGITALK"}, {0x003D, L"XEBEC"},
    {0x0040, L"G721-ADPCM"}, {0x0041, L"G728-CELP"}, {0x0050, L"MPEG"}, {0x0055, L"MPEG LAYER-3"},
    {0x0060, L"CIRRUS"}, {0x0061, L"ESPCM"}, {0x0062, L"VOXWARE"}, {0x0064, L"G726-ADPCM"},
    {0x0065, L"G722-ADPCM"}, {0x0067, L"DSAT-DISPLAY"}, {0x0080, L"SOFTSOUND"}, {0x0100, L"RHETOREX-ADPCM"},
    {0x0200, L"CREATIVE-ADPCM"}, {0x0202, L"CREATIVE-FASTSPEECH8"}, {0x0203, L"CREATIVE-FASTSPEECH10"},
    {0x0220, L"QUARTERDECK"}, {0x0300, L"FM-TOWNS-SND"}, {0x0400, L"BTV-DIGITAL"}, {0x1000, L"OLIGSM"},
    {0x1001, L"OLIADPCM"}, {0x1002, L"OLICELP"}, {0x1003, L"OLISBC"}, {0x1004, L"OLIOPR"},
    {0x1100, L"LH-CODEC"}, {0x1400, L"NORRIS"}, {0x2000, L"AC3"},
};

}  // namespace

std::wstring CDecAVIAudio::FormatTagName(WORD tag) {
    for (const TagName& t : kTagNames)
        if (t.tag == tag) return t.name;
    return L"?";
}

CDecAVIAudio::CDecAVIAudio() = default;

CDecAVIAudio::~CDecAVIAudio() { CDecAVIAudio::Close(); }

void CDecAVIAudio::ReleaseAudio() {
    if (m_audioStream) AVIStreamRelease(m_audioStream);
    m_audioStream = nullptr;
    m_audioPosition = 0;
    m_samplesPerSec = 0;
    std::memset(&m_audioStreamInfo, 0, sizeof(m_audioStreamInfo));
    std::free(m_audioFormatBlock);
    m_audioFormatBlock = nullptr;
    m_channelsText.clear();
    m_formatName.clear();
}

void CDecAVIAudio::Close() {
    CDecAVI::Close();
    ReleaseAudio();
}

// Keeps the file's last audio stream. A stream with a zero rate or scale cannot
// place a single sample in time and is passed over.
int CDecAVIAudio::ChooseAudioStream() {
    return ScanStreams([this](PAVISTREAM stream, const AVISTREAMINFOW& info) {
        if (info.fccType != streamtypeAUDIO || info.dwRate == 0 || info.dwScale == 0) return false;
        if (m_audioStream) AVIStreamRelease(m_audioStream);
        m_audioStream = stream;
        return true;
    });
}

int CDecAVIAudio::Open(const wchar_t* path) {
    Close();
    if (const int rc = CDecAVI::Open(path)) return rc;
    if (const int rc = ChooseAudioStream()) return rc;
    if (m_audioStream) ReadAudioInfo();
    return 0;
}

// The whole format block, at least 18 bytes; a shorter block is zero-filled and its
// extra-byte count cut to the bytes really read.
bool CDecAVIAudio::ReadAudioFormat() {
    LONG size = 0;
    if (AVIStreamReadFormat(m_audioStream, 0, nullptr, &size) != AVIERR_OK || size < 0) return false;
    const LONG have = size;
    const size_t bytes = std::max<size_t>(size_t(size), sizeof(WAVEFORMATEX));
    auto* block = static_cast<WAVEFORMATEX*>(std::calloc(1, bytes));
    if (!block) return false;
    if (AVIStreamReadFormat(m_audioStream, 0, block, &size) != AVIERR_OK) {
        std::free(block);
        return false;
    }
    const LONG extraRead = std::max<LONG>(std::min(have, size) - LONG(sizeof(WAVEFORMATEX)), 0);
    if (block->cbSize > extraRead) block->cbSize = WORD(extraRead);
    std::free(m_audioFormatBlock);
    m_audioFormatBlock = block;
    return true;
}

void CDecAVIAudio::ReadAudioInfo() {
    AVIStreamInfoW(m_audioStream, &m_audioStreamInfo, sizeof(m_audioStreamInfo));
    // Audio whose format cannot be read cannot be used at all.
    if (!ReadAudioFormat()) {
        ReleaseAudio();
        return;
    }
    switch (m_audioFormatBlock->nChannels) {
    case 1: m_channelsText = SelectByLanguage(L"モノラル", L"Monoral"); break;
    case 2: m_channelsText = SelectByLanguage(L"ステレオ", L"Stereo"); break;
    default: m_channelsText = L"?"; break;
    }
    m_samplesPerSec = int32_t(m_audioFormatBlock->nSamplesPerSec);
    m_formatName = FormatTagName(m_audioFormatBlock->wFormatTag);
    if (m_audioFormatBlock->wFormatTag == WAVE_FORMAT_PCM) m_audioFormatBlock->cbSize = 0;
}

int CDecAVIAudio::FrameToSample(int frame) const {
    const double videoScale = m_videoStreamInfo.dwScale, videoRate = m_videoStreamInfo.dwRate;
    const double audioScale = m_audioStreamInfo.dwScale, audioRate = m_audioStreamInfo.dwRate;
    if (videoRate == 0 || audioScale == 0) return 0;
    const double sample = frame * videoScale * audioRate / videoRate / audioScale;
    return int(std::clamp(sample, double(INT_MIN), double(INT_MAX)));
}

int CDecAVIAudio::ReadAudio(int* samples, void* buffer, int* bytes) {
    if (!m_audioStream) return ResultCode::kStreamRead;
    if (AVIStreamRead(m_audioStream, m_audioPosition, AVISTREAMREAD_CONVENIENT, buffer, *bytes, bytes,
                      samples) != AVIERR_OK)
        return ResultCode::kStreamRead;
    m_audioPosition += *samples;
    return 0;
}

int CDecAVIAudio::GetAudioLength() const { return AVIStreamLength(m_audioStream); }

int CDecAVIAudio::GetAudioStart() const { return AVIStreamStart(m_audioStream); }

// ---------------------------------------------------------------------------

CDecAVIAudioComp::CDecAVIAudioComp() = default;

CDecAVIAudioComp::~CDecAVIAudioComp() { m_converter.Clear(); }

void CDecAVIAudioComp::Close() {
    m_converter.Clear();
    CDecAVIAudio::Close();
}

int CDecAVIAudioComp::PrepareDecode() {
    m_converter.Clear();
    m_converter.SetSourceFormat(nullptr);
    m_audioPosition = 0;
    if (!m_audioStream || !m_audioFormatBlock) return 0;
    m_converter.SetSourceFormat(m_audioFormatBlock);
    m_wholeChunks = AcmNeedsWholePackets(m_audioFormatBlock);
    if (m_audioFormatBlock->wFormatTag == WAVE_FORMAT_PCM) {
        m_converter.GetSourceFormat()->cbSize = 0;
    } else {
        const size_t whole = sizeof(WAVEFORMATEX) + m_audioFormatBlock->cbSize;
        HGLOBAL* target = m_converter.TargetFormatRef();
        *target = GlobalAlloc(GMEM_FIXED, whole);
        if (!*target) return ResultCode::kMemory;
        std::memcpy(GlobalLock(*target), m_audioFormatBlock, whole);
        if (!m_converter.OpenReadStream()) return ResultCode::kAcmOpen;
    }
    m_converter.SetBytesDone(m_audioPosition);
    m_converter.SetReadLimit(-1);
    return 0;
}

void CDecAVIAudioComp::StartAudio(int samplePosition) {
    PrepareDecode();
    m_audioPosition = samplePosition;
}

int CDecAVIAudioComp::ReadPCM(void* buffer, int bytes) { return m_converter.Read(buffer, bytes, ReadCallback, this); }

int CDecAVIAudioComp::ReadCallback(void* buffer, int bytes, void* user) {
    int samples = 0;
    if (static_cast<CDecAVIAudioComp*>(user)->ReadSource(&samples, buffer, &bytes) != 0) return -1;
    return bytes;
}

// A chunk of a variable-size stream may be empty (some writers leave such chunks in MP3
// streams): it is passed over, since 0 bytes tell the decoder that the stream has ended.
// Only a read that moves past no sample is that end. Audio whose frames can only be told
// apart by the chunks holding them is read no further than the end of a chunk.
int CDecAVIAudioComp::ReadSource(int* samples, void* buffer, int* bytes) {
    if (!m_audioStream) return ResultCode::kStreamRead;
    const LONG room = *bytes;
    *samples = 0;
    for (;;) {
        LONG got = 0, moved = 0, count = 0;
        if (m_wholeChunks && AVIStreamRead(m_audioStream, m_audioPosition, AVISTREAMREAD_CONVENIENT, nullptr, 0,
                                           &got, &count) != AVIERR_OK)
            return ResultCode::kStreamRead;
        if (AVIStreamRead(m_audioStream, m_audioPosition, count, buffer, room, &got, &moved) != AVIERR_OK)
            return ResultCode::kStreamRead;
        m_audioPosition += moved;
        *samples += moved;
        *bytes = got;
        if (got > 0 || moved == 0) return 0;
    }
}
