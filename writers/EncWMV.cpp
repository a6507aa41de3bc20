#include "writers/EncWMV.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "foundation/MemBuffBase.h"
#include "foundation/PathUtil.h"
#include "foundation/StringChar.h"
#include "platform/wmf/WmText.h"
#include "writers/AudioDue.h"

namespace {

// Profile files are small XML documents; anything larger is not one.
constexpr off_t kMaxProfileFileBytes = 4 << 20;
// Silence is written in pieces of at most this size.
constexpr int kSilenceChunk = 1 << 20;

// MulDiv's rounding for the non-negative values used here: a x b / c to the nearest.
int64_t MulDivRound(int64_t a, int64_t b, int64_t c) { return c == 0 ? -1 : (a * b + c / 2) / c; }

GUID VideoSubtype(const BITMAPINFOHEADER& h) {
    if (h.biCompression == BI_RGB) {
        switch (h.biBitCount) {
            case 32:
                return MEDIASUBTYPE_RGB32;
            case 24:
                return MEDIASUBTYPE_RGB24;
            case 16:
                return MEDIASUBTYPE_RGB555;
            case 8:
                return MEDIASUBTYPE_RGB8;
            default:
                return GUID_NULL;
        }
    }
    static const FOURCC kYuv[] = {MAKEFOURCC('I', '4', '2', '0'), MAKEFOURCC('I', 'Y', 'U', 'V'),
                                  MAKEFOURCC('Y', 'V', '1', '2'), MAKEFOURCC('Y', 'U', 'Y', '2'),
                                  MAKEFOURCC('U', 'Y', 'V', 'Y'), MAKEFOURCC('Y', 'V', 'Y', 'U'),
                                  MAKEFOURCC('Y', 'V', 'U', '9')};
    for (FOURCC f : kYuv) {
        if (h.biCompression == f) return GuidFromFourcc(f);
    }
    return GUID_NULL;
}

// The whole profile file as wide text. Only a regular file is read, so a device or a
// pipe named as the profile cannot make the read endless.
bool ReadProfileText(const wchar_t* path, std::wstring* text) {
    if (!path || !*path) return false;
    const std::string native = NativePath(path);
    if (native.empty()) return false;
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxProfileFileBytes;
    CMemBuffBase<BYTE> buffer;
    const int size = ok ? static_cast<int>(st.st_size) : 0;
    // Two spare zero bytes: an empty file still has a buffer, and the text always ends.
    if (ok && (!buffer.Alloc(size + 2) || !buffer.FillAll(0))) ok = false;
    int got = 0;
    while (ok && got < size) {
        const ssize_t n = ::read(fd, buffer.GetData() + got, static_cast<size_t>(size - got));
        if (n <= 0) {
            ok = n == 0 && got > 0;  // a file that shrank is read as far as it goes
            break;
        }
        got += static_cast<int>(n);
    }
    ::close(fd);
    if (!ok) return false;
    *text = WmDecodeProfileText(buffer.GetData(), static_cast<size_t>(got));
    return true;
}

}  // namespace

// ---------------------------------------------------------------- CEncWMV

CEncWMV::CEncWMV() = default;

CEncWMV::~CEncWMV() { (void)Close(); }  // no one to tell of a failure

int CEncWMV::GetSystemProfileCount(DWORD version) {
    IWMProfileManager* manager = nullptr;
    IWMProfileManager2* manager2 = nullptr;
    DWORD count = 0;
    if (SUCCEEDED(WMCreateProfileManager(&manager)) &&
        SUCCEEDED(manager->QueryInterface(WmInterface::ProfileManager2, reinterpret_cast<void**>(&manager2))) &&
        (FAILED(manager2->SetSystemProfileVersion(version)) || FAILED(manager2->GetSystemProfileCount(&count)))) {
        count = 0;
    }
    WmSafeRelease(manager2);
    WmSafeRelease(manager);
    return static_cast<int>(count);
}

int CEncWMV::LoadSystemProfile(int version, int index4, int index7, int index8) {
    ReleaseAll();
    IWMProfileManager* manager = nullptr;
    IWMProfileManager2* manager2 = nullptr;
    if (FAILED(WMCreateProfileManager(&manager)) ||
        FAILED(manager->QueryInterface(WmInterface::ProfileManager2, reinterpret_cast<void**>(&manager2)))) {
        WmSafeRelease(manager);
        return ResultCode::kWmvProfileVersion;
    }
    HRESULT hr = S_OK;
    // The indexes are 1-based; any other version choice (a profile file) loads nothing.
    static const DWORD kVersions[] = {WMT_VER_4_0, WMT_VER_7_0, WMT_VER_8_0};
    if (version >= 0 && version <= 2) {
        const int index = version == 0 ? index4 : version == 1 ? index7 : index8;
        manager2->SetSystemProfileVersion(kVersions[version]);
        hr = manager2->LoadSystemProfile(static_cast<DWORD>(index - 1), &m_profile);
    }
    WmSafeRelease(manager2);
    WmSafeRelease(manager);
    return FAILED(hr) ? ResultCode::kWmvProfileVersion : 0;
}

int CEncWMV::LoadProfileFile(const wchar_t* path) {
    ReleaseAll();
    IWMProfileManager* manager = nullptr;
    if (FAILED(WMCreateProfileManager(&manager))) return ResultCode::kWmvProfileFile;
    std::wstring text;
    HRESULT hr = ReadProfileText(path, &text) ? manager->LoadProfileByData(text.c_str(), &m_profile) : E_FAIL;
    WmSafeRelease(manager);
    return FAILED(hr) ? ResultCode::kWmvProfileFile : 0;
}

int CEncWMV::Open(const wchar_t* path, const BITMAPINFOHEADER* input, int rate, int sampleRate, int channels,
                  int bits) {
    if (m_opened) return 0;
    m_opened = TRUE;
    SetVideoFormat(input, rate);
    if (FAILED(CreateWriter(path))) return ResultCode::kWmvOutput;
    if (FAILED(SetVideoInput()) || FAILED(SetAudioInput(sampleRate, channels, bits)))
        return ResultCode::kWmvHeader;
    const HRESULT begun = BeginWriting();
    // The file is made here: one that cannot be made is the output failure every other
    // output reports, not a fault of the header.
    if (begun == WMF_E_FILE_OPEN_FAILED) return ResultCode::kOutput;
    if (FAILED(begun)) return ResultCode::kWmvHeader;
    return IsTwoPass() ? BeginPass() : 0;
}

void CEncWMV::SetVideoFormat(const BITMAPINFOHEADER* input, int rate) {
    if (!input) return;
    m_inputHeader = *input;
    m_videoStreamInfo = AVISTREAMINFOW{};
    m_videoStreamInfo.dwRate = static_cast<DWORD>(rate);
    m_videoStreamInfo.dwScale = 10000;
    m_videoStreamInfo.rcFrame = RECT{0, 0, input->biWidth, input->biHeight};
    m_videoStreamInfo.dwStart = 0;
}

HRESULT CEncWMV::CreateWriter(const wchar_t* path) {
    if (path && *path) DeleteFileIfExists(path);
    HRESULT hr = WMCreateWriter(nullptr, &m_writer);
    if (FAILED(hr)) return hr;
    if (m_twoPass) {
        hr = m_writer->QueryInterface(WmInterface::WriterPreprocess, reinterpret_cast<void**>(&m_preprocess));
        if (FAILED(hr)) return hr;
    }
    hr = m_writer->SetProfile(m_profile);
    if (FAILED(hr)) return hr;
    DWORD inputs = 0;
    hr = m_writer->GetInputCount(&inputs);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < inputs; ++i) {
        IWMInputMediaProps* props = nullptr;
        hr = m_writer->GetInputProps(i, &props);
        if (FAILED(hr)) return hr;
        GUID type = GUID_NULL;
        hr = props->GetType(&type);
        if (FAILED(hr)) {
            props->Release();
            return hr;
        }
        if (type == WMMEDIATYPE_Audio) {
            WmSafeRelease(m_audioInput);
            m_audioInput = props;
            m_audioInputNumber = i;
        } else if (type == WMMEDIATYPE_Video) {
            WmSafeRelease(m_videoInput);
            m_videoInput = props;
            m_videoInputNumber = i;
        } else {
            props->Release();
            return E_FAIL;
        }
    }
    if (path) {
        CStringCharW name(path);
        hr = m_writer->SetOutputFilename(name.GetString());
    }
    return hr;
}

HRESULT CEncWMV::SetVideoInput() {
    if (!m_videoInput) return 0;
    WMVIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, m_inputHeader.biWidth, m_inputHeader.biHeight};
    vih.rcTarget = vih.rcSource;
    const int64_t rate = m_videoStreamInfo.dwRate < 2 ? 1 : m_videoStreamInfo.dwRate;
    vih.AvgTimePerFrame = static_cast<int64_t>(m_videoStreamInfo.dwScale) * 10000 * 1000 / rate;
    vih.bmiHeader = m_inputHeader;
    WM_MEDIA_TYPE type{};
    type.majortype = WMMEDIATYPE_Video;
    type.subtype = VideoSubtype(m_inputHeader);
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = 0;
    type.formattype = WMFORMAT_VideoInfo;
    type.cbFormat = sizeof vih;
    type.pbFormat = reinterpret_cast<BYTE*>(&vih);
    HRESULT hr = m_videoInput->SetMediaType(&type);
    if (FAILED(hr)) return hr;
    return m_writer->SetInputProps(m_videoInputNumber, m_videoInput);
}

HRESULT CEncWMV::SetAudioInput(int, int, int) { return 0; }

HRESULT CEncWMV::BeginWriting() {
    if (!m_writer) return E_POINTER;
    const HRESULT hr = m_writer->BeginWriting();
    if (SUCCEEDED(hr)) m_frameCount = 0;
    return hr;
}

QWORD CEncWMV::VideoTime() const {
    const int64_t ms = MulDivRound(static_cast<int64_t>(m_frameCount) * 1000, m_videoStreamInfo.dwScale,
                                m_videoStreamInfo.dwRate);
    return ms < 0 ? 0 : static_cast<QWORD>(ms) * 10000;
}

HRESULT CEncWMV::Deliver(DWORD input, QWORD time, const void* data, DWORD bytes) {
    if (!m_writer || !data) return E_POINTER;
    if (m_twoPass && !m_preprocess) return E_POINTER;
    INSSBuffer* sample = nullptr;
    HRESULT hr = m_writer->AllocateSample(bytes, &sample);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    DWORD length = 0;
    hr = sample->GetBufferAndLength(&buffer, &length);
    if (SUCCEEDED(hr) && length >= bytes) {
        std::memcpy(buffer, data, bytes);
        hr = sample->SetLength(bytes);
    } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) {
        hr = m_twoPass ? m_preprocess->PreprocessSample(input, time, 0, sample)
                       : m_writer->WriteSample(input, time, 0, sample);
    }
    sample->Release();
    return hr;
}

int CEncWMV::WriteVideoFrame(const void* bits) {
    // An audio-only profile still counts the frames offered: the audio due per frame
    // is measured against them.
    if (!m_videoInput) {
        ++m_frameCount;
        return 0;
    }
    DWORD bytes = m_inputHeader.biSizeImage;
    if (bytes == 0 && m_inputHeader.biCompression == BI_RGB) {
        const int64_t height = m_inputHeader.biHeight < 0 ? -int64_t(m_inputHeader.biHeight) : m_inputHeader.biHeight;
        bytes = static_cast<DWORD>(DibRowBytes(m_inputHeader.biWidth, m_inputHeader.biBitCount) * height);
    }
    if (FAILED(Deliver(m_videoInputNumber, VideoTime(), bits, bytes))) return ResultCode::kWmvVideoWrite;
    ++m_frameCount;
    return 0;
}

int CEncWMV::BeginPass() {
    if (!m_twoPass || !m_videoInput) return 0;
    DWORD passes = 0;
    if (!m_preprocess || FAILED(m_preprocess->GetMaxPreprocessingPasses(m_videoInputNumber, 0, &passes)) ||
        FAILED(m_preprocess->SetNumPreprocessingPasses(m_videoInputNumber, 0, passes)) ||
        FAILED(m_preprocess->BeginPreprocessingPass(m_videoInputNumber, 0))) {
        return ResultCode::kWmvVideoPassBegin;
    }
    return 0;
}

int CEncWMV::EndVideoAnalysis() {
    if (!m_preprocess || FAILED(m_preprocess->EndPreprocessingPass(m_videoInputNumber, 0))) return ResultCode::kWmvVideoPassEnd;
    return 0;
}

int CEncWMV::EndPass() {
    if (!m_twoPass) return 0;
    if (m_videoInput) {
        const int r = EndVideoAnalysis();
        if (r) return r;
    }
    m_twoPass = FALSE;
    m_frameCount = 0;
    return 0;
}

BOOL CEncWMV::IsTwoPass() { return m_twoPass; }

void CEncWMV::SetTwoPass(BOOL twoPass) { m_twoPass = twoPass; }

// Everything is released and reset even when ending the file fails: a run that
// stopped half-way must not leave its two-pass state to the next run.
int CEncWMV::Close() {
    m_opened = FALSE;
    const HRESULT hr = m_writer ? m_writer->EndWriting() : S_OK;
    ReleaseAll();
    m_twoPass = FALSE;
    m_frameCount = 0;
    m_inputHeader = BITMAPINFOHEADER{};
    m_videoStreamInfo = AVISTREAMINFOW{};
    m_videoInputNumber = 0;
    m_audioInputNumber = 0;
    return hr;
}

void CEncWMV::ReleaseAll() {
    WmSafeRelease(m_profile);
    WmSafeRelease(m_videoInput);
    WmSafeRelease(m_writer);
    WmSafeRelease(m_preprocess);
    WmSafeRelease(m_audioInput);
}

// ---------------------------------------------------------------- CEncWMVWMA

CEncWMVWMA::~CEncWMVWMA() { ReleaseAll(); }

HRESULT CEncWMVWMA::SetAudioInput(int sampleRate, int channels, int bits) {
    m_audioBytesWritten = 0;
    m_audioFormat = WAVEFORMATEX{};
    m_audioFormat.wFormatTag = WAVE_FORMAT_PCM;
    m_audioFormat.nChannels = static_cast<WORD>(channels);
    m_audioFormat.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    m_audioFormat.wBitsPerSample = static_cast<WORD>(bits);
    m_audioFormat.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    m_audioFormat.nAvgBytesPerSec = m_audioFormat.nBlockAlign * m_audioFormat.nSamplesPerSec;
    m_audioFormat.cbSize = 0;
    if (!m_audioInput) return 0;
    WM_MEDIA_TYPE type{};
    type.majortype = WMMEDIATYPE_Audio;
    type.subtype = WMMEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = static_cast<ULONG>(sampleRate);
    type.formattype = WMFORMAT_WaveFormatEx;
    type.cbFormat = sizeof(WAVEFORMATEX) + m_audioFormat.cbSize;
    type.pbFormat = reinterpret_cast<BYTE*>(&m_audioFormat);
    HRESULT hr = m_audioInput->SetMediaType(&type);
    if (FAILED(hr)) return hr;
    return m_writer->SetInputProps(m_audioInputNumber, m_audioInput);
}

int CEncWMVWMA::WriteAudio(const void* pcm, int bytes) {
    if (bytes <= 0 || !m_audioInput) return 0;
    const int64_t bytesPerSecond = int64_t(m_audioFormat.wBitsPerSample / 8) * m_audioFormat.nChannels *
                                   m_audioFormat.nSamplesPerSec;
    const QWORD time = bytesPerSecond > 0 ? static_cast<QWORD>(m_audioBytesWritten * 10000000 / bytesPerSecond) : 0;
    const HRESULT hr = Deliver(m_audioInputNumber, time, pcm, static_cast<DWORD>(bytes));
    m_audioBytesWritten += bytes;
    if (hr == WMF_E_NEEDS_ANALYSIS_PASS) return ResultCode::kWmvAudioNeedsTwoPass;
    return FAILED(hr) ? ResultCode::kWmvAudioWrite : 0;
}

int CEncWMVWMA::GetAudioBytesDue() { return GetAudioDueBasis().DueAfter(0, 0); }

AudioDueBasis CEncWMVWMA::GetAudioDueBasis() const {
    // Without an audio input, WriteAudio takes nothing and counts nothing.
    return {m_frameCount, m_videoStreamInfo.dwScale, m_videoStreamInfo.dwRate, m_audioBytesWritten, m_audioFormat,
            m_audioInput != nullptr};
}

void CEncWMVWMA::PadAudioToVideo() {
    if (!m_audioInput) return;
    int due = GetAudioBytesDue();
    if (due < 1) return;
    const int block = std::max<int>(1, m_audioFormat.nBlockAlign);
    const int chunk = kSilenceChunk / block * block;
    // 8-bit PCM is unsigned: its silence is 0x80, not 0.
    const BYTE silence = m_audioFormat.wBitsPerSample == 8 ? 0x80 : 0;
    const size_t size = static_cast<size_t>(std::min(due, chunk));
    if (m_silence.size() < size || m_silence[0] != silence) m_silence.assign(size, silence);
    while (due > 0) {
        const int n = std::min(due, chunk);
        if (WriteAudio(m_silence.data(), n) != 0) return;
        due -= n;
    }
}

int CEncWMVWMA::BeginPass() {
    if (!m_twoPass) return 0;
    if (m_videoInput) {
        const int r = CEncWMV::BeginPass();
        if (r) return r;
    }
    if (!m_audioInput) return 0;
    DWORD passes = 0;
    if (!m_preprocess || FAILED(m_preprocess->GetMaxPreprocessingPasses(m_audioInputNumber, 0, &passes)) ||
        FAILED(m_preprocess->SetNumPreprocessingPasses(m_audioInputNumber, 0, passes)) ||
        FAILED(m_preprocess->BeginPreprocessingPass(m_audioInputNumber, 0))) {
        return ResultCode::kWmvAudioPassBegin;
    }
    return 0;
}

int CEncWMVWMA::EndPass() {
    PadAudioToVideo();
    if (!m_twoPass) return 0;
    if (m_videoInput) {
        const int r = EndVideoAnalysis();
        if (r) return r;
    }
    if (m_audioInput) {
        if (!m_preprocess || FAILED(m_preprocess->EndPreprocessingPass(m_audioInputNumber, 0))) {
            return ResultCode::kWmvAudioPassEnd;
        }
        m_audioBytesWritten = 0;
    }
    // Both counts start again at 0 for the writing pass, with or without video.
    m_twoPass = FALSE;
    m_frameCount = 0;
    return 0;
}
