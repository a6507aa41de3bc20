#include "writers/EncAVIAudio.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/SysUtil.h"
#include "platform/avifile/AviWriteFile.h"
#include "writers/AudioDue.h"

namespace {
constexpr UINT kCreateMode = 0x1011;
constexpr int kCopyBufferBytes = 400000;
constexpr int kPadPieceBytes = 1 << 16;

int FormatBytes(const WAVEFORMATEX* f) { return f->cbSize + 18; }
}  // namespace

// Closing here resets the fields or ends what is left open, with no one to tell of a failure.
CEncAVIAudio::CEncAVIAudio() { (void)CEncAVIAudio::Close(); }

CEncAVIAudio::~CEncAVIAudio() { (void)CEncAVIAudio::Close(); }

int CEncAVIAudio::Close() {
    if (m_audioStream) AVIStreamRelease(m_audioStream);
    m_audioStream = nullptr;
    m_audioPosition = 0;
    m_copied = FALSE;
    return CEncAVI_Comp::Close();
}

int CEncAVIAudio::OpenAudio(const WAVEFORMATEX* format, const AVISTREAMINFOW* info, const wchar_t* path) {
    if (path && *path) {
        Close();
        DeleteFileIfExists(path);
        if (AVIFileOpenW(&m_file, path, kCreateMode, nullptr) != AVIERR_OK) return ResultCode::kFileCreate;
    }
    if (AVIFileCreateStreamW(m_file, &m_audioStream, info) != AVIERR_OK)
        return WriteFailed(ResultCode::kStreamCreate);
    if (AVIStreamSetFormat(m_audioStream, 0, format, FormatBytes(format)) != AVIERR_OK)
        return WriteFailed(ResultCode::kFormat);
    m_copied = TRUE;
    return 0;
}

int CEncAVIAudio::WriteAudioSamples(int* samples, const void* data, int* bytes) {
    if (*samples == 0) {
        LONG size = 0;
        if (AVIStreamReadFormat(m_audioStream, 0, nullptr, &size) != AVIERR_OK || size < 18) {
            return ResultCode::kStreamWrite;
        }
        std::vector<uint8_t> format(size);
        AVIStreamReadFormat(m_audioStream, 0, format.data(), &size);
        const WORD blockAlign = reinterpret_cast<const WAVEFORMATEX*>(format.data())->nBlockAlign;
        // A block size of 0 comes only from a damaged source; nothing sensible can be written.
        if (blockAlign == 0) return ResultCode::kStreamWrite;
        *samples = *bytes / blockAlign;
    }
    LONG written = 0, writtenBytes = 0;
    if (AVIStreamWrite(m_audioStream, m_audioPosition, *samples, data, *bytes, AVIIF_KEYFRAME, &written,
                       &writtenBytes) != AVIERR_OK) {
        return WriteFailed(ResultCode::kStreamWrite);
    }
    *samples = written;
    *bytes = writtenBytes;
    m_audioPosition += written;
    return 0;
}

void CEncAVIAudio::AudioRangeForFrames(const AVISTREAMINFOW& video, const AVISTREAMINFOW& audio, int firstFrame,
                                       int lastFrame, int* start, int* end) {
    *start = *end = 0;
    if (video.dwRate == 0 || audio.dwScale == 0 || lastFrame < firstFrame) return;
    // Samples per frame, in double precision: (video scale / rate) seconds x (audio rate / scale).
    const double perFrame = static_cast<double>(video.dwScale) / video.dwRate * audio.dwRate / audio.dwScale;
    *start = static_cast<int>(std::llround(firstFrame * perFrame));
    *end = static_cast<int>(std::llround((static_cast<double>(lastFrame) + 1) * perFrame));
}

int CEncAVIAudio::CopyAudioStream(int start, int end, PAVISTREAM source) {
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(kCopyBufferBytes);
    } catch (const std::bad_alloc&) {
        return ResultCode::kMemory;
    }
    end = std::min(end, static_cast<int>(AVIStreamLength(source)));
    int result = 0;
    while (start < end) {
        PumpPendingMessages();
        LONG bytes = 0, samples = 0;
        // Never more than the range asks for: the copy ends with the last frame written.
        if (AVIStreamRead(source, start, end - start, buffer.data(), kCopyBufferBytes, &bytes, &samples) !=
            AVIERR_OK) {
            const std::wstring text = IsJapaneseSystem()
                                          ? L"音声読み込み失敗しました\n中止しますか"
                                          : L"The Audio was failed in reading. \nDo you discontinue it?";
            if (!m_prompt || m_prompt->AskStop(text)) {
                result = ResultCode::kAudioRead;
                break;
            }
            ++start;
            continue;
        }
        if (bytes < 1 || samples < 1) break;
        int n = samples, b = bytes;
        result = WriteAudioSamples(&n, buffer.data(), &b);
        if (result != 0) break;
        start += std::max(n, 1);
    }
    return result;
}

CEncAVIAudioComp::CEncAVIAudioComp() { m_acm.SetTargetFormat(m_setting.GetAudioFormat()); }

CEncAVIAudioComp::~CEncAVIAudioComp() { (void)CEncAVIAudioComp::Close(); }

void CEncAVIAudioComp::SetSourcePCMFormat(int rate, int bits, int channels) {
    m_acm.SetTargetFormat(m_setting.GetAudioFormat());
    m_acm.SetPCMFormat(rate, bits, channels);
}

int CEncAVIAudioComp::ChooseAudioFormat(HWND owner) {
    if (!m_acm.ChooseFormat(owner)) return ResultCode::kCancelled;
    m_setting.SetAudioFormat(m_acm.GetTargetFormat());
    return 0;
}

int CEncAVIAudioComp::CreateAudioStream() {
    if (!m_acm.PrepareWriteFormats()) return ResultCode::kAcmOpen;
    if (*m_acm.TargetFormatRef() && !m_acm.OpenWriteStreams()) return ResultCode::kAcmOpen;
    m_audioPosition = 0;
    const WAVEFORMATEX* out = m_acm.GetTargetFormat();
    if (out->nBlockAlign == 0) return ResultCode::kAcmOpen;
    AVISTREAMINFOW info{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = out->nBlockAlign;
    info.dwRate = out->nAvgBytesPerSec;
    info.dwLength = 0xFFFFFFFF;
    info.dwQuality = 0xFFFFFFFF;
    info.dwSampleSize = out->nBlockAlign;
    if (AVIFileCreateStreamW(m_file, &m_audioStream, &info) != AVIERR_OK)
        return WriteFailed(ResultCode::kStreamCreate);
    if (AVIStreamSetFormat(m_audioStream, 0, out, FormatBytes(out)) != AVIERR_OK)
        return WriteFailed(ResultCode::kFormat);
    return 0;
}

int CEncAVIAudioComp::WriteAudio(const void* pcm, int bytes) {
    if (bytes <= 0) return 0;
    return m_acm.Write(pcm, bytes, WriteConvertedCallback, this) < 0 ? ResultCode::kAudioWrite : 0;
}

int CEncAVIAudioComp::WriteConvertedCallback(const void* data, int bytes, void* user) {
    auto* writer = static_cast<CEncAVIAudioComp*>(user);
    const WORD blockAlign = writer->m_acm.GetTargetFormat()->nBlockAlign;
    if (blockAlign == 0) return -1;
    int samples = bytes / blockAlign;
    return writer->WriteAudioSamples(&samples, data, &bytes) != 0 ? -1 : bytes;
}

int CEncAVIAudioComp::GetAudioBytesDue() { return GetAudioDueBasis().DueAfter(0, 0); }

AudioDueBasis CEncAVIAudioComp::GetAudioDueBasis() const {
    return {m_position, m_streamInfo.dwScale, m_streamInfo.dwRate, m_acm.GetInputBytes(), *m_acm.GetSourceFormat(),
            true};
}

void CEncAVIAudioComp::PadAudioToVideo() {
    if (!m_audioStream || !m_plainStream) return;
    int n = GetAudioBytesDue();
    if (n <= 0) return;
    const WAVEFORMATEX* src = m_acm.GetSourceFormat();
    // Silence: 8-bit PCM is unsigned, centred on 0x80.
    const uint8_t silence = src->wBitsPerSample == 8 ? 0x80 : 0;
    // A long gap is filled piece by piece, in whole sample frames, from one small buffer.
    const int frame = (src->wBitsPerSample / 8) * src->nChannels;
    const int piece = std::max(frame, kPadPieceBytes - kPadPieceBytes % frame);
    const std::vector<uint8_t> zeros(static_cast<size_t>(std::min(n, piece)), silence);
    while (n > 0) {
        const int bytes = std::min(n, static_cast<int>(zeros.size()));
        if (m_acm.Write(zeros.data(), bytes, WriteConvertedCallback, this) < 0) return;
        n -= bytes;
    }
}

int CEncAVIAudioComp::Close() {
    int result = 0;
    if (!m_copied) {
        PadAudioToVideo();
        if (m_audioStream && !m_acm.Flush(WriteConvertedCallback, this)) result = ResultCode::kAudioWrite;
        m_acm.Clear();
    }
    const int closed = CEncAVIAudio::Close();
    return result != 0 ? result : closed;
}
