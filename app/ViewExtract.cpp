// The two extractions of the view: the compressed video copied sample for sample into
// a new AVI file, and the audio into a WAV file. Both run on the UI thread with the
// conversion run's pause wait, stopwatch and status strip, and ask every question
// before anything is created on disk.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/ResultCodes.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/UiServices.h"
#include "readers/DecAVIAudio.h"
#include "resources/CommandIds.h"
#include "writers/PCMWavVolume.h"
#include "writers/WaveFileACM.h"

namespace {

constexpr int kTransferBytes = 400000;
constexpr int kPcmPieceBytes = 1 << 20;
// The audio goes into a WAV file in pieces of whole samples no larger than this, so
// that a file refused at its size limit holds everything up to within a piece of it.
constexpr int kWavPieceBytes = 1 << 16;
// How an audio extraction ended. Done covers a cancel at any question; NotWritten is
// a failure before the file held anything; ReadFailed is audio that stopped decoding.
constexpr int kWavDone = 0, kWavWriteFailed = 1, kWavLimitReached = 2, kWavNotWritten = 3, kWavReadFailed = 4;

// The extraction runs: the strip shows "[Make]" and Pause and Stop act on it.
void MarkRunning(CTALVERNDoc& doc) {
    doc.m_nPlayState = PlayState::Playing;
    doc.m_bExtracting = TRUE;
}

// The first key frame from `from` through `last`, frame 0 counting as one; -1 when
// there is none.
int FindKeyFrame(CDecAVI& source, int from, int last) {
    for (int k = std::max(from, 0); k <= last; ++k)
        if (k == 0 || source.IsKeyFrame(k)) return k;
    return -1;
}

// Whole samples of the audio stream from the reader's audio position up to end, as
// many as the buffer takes, the position moving past them: a stream of fixed-size
// samples fills the buffer in one read, one of chunks is read chunk by chunk. The
// bytes read; the position stays where it was at the end or after a failed read.
int ReadAudioBlock(CDecAVIAudio& audio, int end, BYTE* buffer, int capacity) {
    int filled = 0;
    for (int pos = audio.GetAudioPosition(); pos < end && filled < capacity;) {
        LONG bytes = 0, samples = 0;
        if (AVIStreamRead(audio.GetAudioStream(), pos, end - pos, buffer + filled, capacity - filled, &bytes,
                          &samples) != AVIERR_OK ||
            samples <= 0 || bytes < 0)
            break;
        pos += samples;
        filled += bytes;
        audio.SetAudioPosition(pos);
    }
    return filled;
}

// The frame at a time in seconds, kept between 0 and last.
int FrameAtSeconds(double seconds, double rate, int last) {
    const double frame = std::trunc(seconds * rate + 0.5);
    return static_cast<int>(std::clamp(frame, 0.0, static_cast<double>(std::max(last, 0))));
}

std::wstring WithPath(std::wstring text, const std::wstring& path) {
    // The path replaces the %s as plain text: a '%' in a file name is no format.
    const size_t at = text.find(L"%s");
    return at == std::wstring::npos ? text + path : text.replace(at, 2, path);
}

}  // namespace

// ---- Video stream copy ----

void CTALVERNView::OnExtractVideoStream() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen() || !doc->GetAudioReader() || doc->IsModified()) return;
    int code = 0;
    {
        CTALVERNDoc::BusyScope busy(*doc);
        ChooseStartFrame();
        MarkRunning(*doc);
        code = CopyVideoStream();
        // A file its writer could not finish is reported like any other failure.
        const int closed = m_run.Avi().Close();
        if (closed != 0 && (code == 0 || code == DialogCancelled)) code = closed;
    }
    StopOnError(code);
    if (code == 0) StopOnError(ShowFrame());
    update();
}

int CTALVERNView::CopyVideoStream() {
    CTALVERNDoc* doc = m_pDocument;
    CDecAVIAudioComp* source = doc->GetAudioReader();
    if (!source) return ResultCode::kFailed;
    const int last = std::min(m_bRangeMode ? m_nRangeEnd : m_nCount - 1, m_nCount - 1);
    const int start = FindKeyFrame(*source, m_nCurrent, last);
    // Without a key frame to start from there is nothing to copy: no file is made, and
    // the user is told so rather than left to look for one.
    if (start < 0) return ResultCode::kOutput;
    const std::wstring& movie = doc->GetPathName();
    std::wstring path = JoinOutputPath(doc->m_Info.m_strOutputFolder, L"Copy_" + GetPathFileTitle(movie) + L".avi");
    if (ApplyOverwritePolicy(&doc->m_Info, path, kAviFilter, movie) != 0) return DialogCancelled;
    if (IsSameFile(path, movie)) return ResultCode::kFileCreate;
    m_nRangeStart = m_nCurrent = start;
    m_stopwatch.ClearTotal();
    m_stopwatch.Start();
    if (const int code = AskVideoCopyAudio(start)) return code;
    if (const int code = OpenVideoCopy(path)) return code;
    if (m_run.AudioChoice() == kAudioRecompress)
        if (const int code = m_run.Avi().CreateAudioStream()) return code;
    const int code = CopyVideoSamples(last);
    // The copied audio belongs to the frames copied, also after a Stop.
    if (code == 0 && m_run.AudioChoice() == kAudioCopy) return CopyAudioIntoAvi(start);
    return code;
}

int CTALVERNView::AskVideoCopyAudio(int startFrame) {
    m_run.AudioChoice() = kAudioNone;
    CDecAVIAudioComp* audio = AudioSource();
    if (!audio) return 0;
    const int prepared = StartAudioAt(audio->FrameToSample(startFrame));
    if (m_runHooks.audioChoice(&m_run.AudioChoice(), MainWindow()) != 1) return DialogCancelled;
    if (m_run.AudioChoice() != kAudioRecompress) return 0;
    // Audio without a decoder cannot be recompressed: told before any file exists.
    if (prepared != 0) return prepared;
    const WAVEFORMATEX* pcm = audio->GetPCMFormat();
    m_run.Avi().SetSourcePCMFormat(pcm->nSamplesPerSec, pcm->wBitsPerSample, pcm->nChannels);
    return m_run.Avi().ChooseAudioFormat(GetSafeHwnd()) != 0 ? DialogCancelled : 0;
}

int CTALVERNView::OpenVideoCopy(const std::wstring& path) {
    CDecAVIAudioComp* source = m_pDocument->GetAudioReader();
    void* format = nullptr;
    int size = 0;
    int code = source->ReadFormat(&format, &size);
    if (code == 0) code = m_run.Avi().OpenCopy(path.c_str(), source->GetStreamInfo(), format, size);
    std::free(format);
    return code;
}

int CTALVERNView::CopyVideoSamples(int last) {
    CDecAVIAudioComp* source = m_pDocument->GetAudioReader();
    CMemBuffBase<unsigned char> sample;
    for (int frame = m_nCurrent; frame <= last;) {
        int samples = 0, bytes = 0;
        if (const int code = source->ReadSample(frame, &samples, &sample, &bytes)) return code;
        if (const int code = m_run.Avi().WriteSample(samples, sample.GetData(), bytes, source->IsKeyFrame(frame)))
            return code;
        // The current frame is the last one copied; a read may deliver several.
        const int next = frame + std::max(samples, 1);
        m_nCurrent = std::min(next - 1, last);
        frame = next;
        if (m_run.AudioChoice() == kAudioRecompress)
            if (const int code = WriteDueAudio()) return code;
        if (!AdvanceExtraction()) return 0;
    }
    return 0;
}

int CTALVERNView::WriteDueAudio() {
    CDecAVIAudioComp* audio = AudioSource();
    for (int due = m_run.Avi().GetAudioBytesDue(); due > 0;) {
        const int want = std::min(due, kPcmPieceBytes);
        BYTE* buffer = m_run.AudioBuffer().GetBuffer(want);
        if (!buffer || m_run.AudioBuffer().GetCount() < want) return ResultCode::kMemory;
        const int got = audio->ReadPCM(buffer, want);
        // A decoder that fails ends the copy: nothing stands in for the audio it lost.
        if (got < 0) return ResultCode::kStreamRead;
        if (got == 0) return 0;
        if (const int code = m_run.Avi().WriteAudio(buffer, got)) return code;
        due -= got;
    }
    return 0;
}

bool CTALVERNView::AdvanceExtraction() {
    DrawStatus();
    m_stopwatch.AddElapsed();
    // No worker writes for the extraction: nothing can fail while it waits.
    (void)WaitWhilePaused();
    m_stopwatch.Start();
    return GetPlayState() != PlayState::Stopped;
}

// ---- Audio extraction ----

void CTALVERNView::OnExtractAudioStream() {
    CTALVERNDoc* doc = m_pDocument;
    if (!AudioSource() || !IsStopped() || doc->IsModified()) return;
    std::wstring path;
    int outcome = kWavDone;
    {
        CTALVERNDoc::BusyScope busy(*doc);
        outcome = ExtractAudioToWav(path);
    }
    // The extraction tells its own outcome; the frame is only shown again.
    (void)ShowFrame();
    update();
    if (outcome == kWavDone) return;
    // Nothing written is a failure like any other output's, not a quiet end.
    if (outcome == kWavNotWritten) {
        StopOnError(ResultCode::kOutput);
        return;
    }
    // The file stays readable up to where the audio stopped; the user learns why it ends there.
    const std::wstring text = outcome == kWavLimitReached ? LoadLangString(51503, 51504)
                              : outcome == kWavReadFailed ? LoadLangString(51505, 51506)
                                                          : LoadLangString(51501, 51502);
    ShowMessageBox(this, WithPath(text, path), LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK | MB_ICONEXCLAMATION);
}

int CTALVERNView::ExtractAudioToWav(std::wstring& path) {
    CTALVERNDoc* doc = m_pDocument;
    CDecAVIAudioComp* audio = AudioSource();
    const std::wstring& movie = doc->GetPathName();
    path = JoinOutputPath(doc->m_Info.m_strOutputFolder, GetPathFileTitle(movie) + L"_audio.wav");
    if (ApplyOverwritePolicy(&doc->m_Info, path, kWavFilter, movie) != 0) return kWavDone;
    m_run.AudioChoice() = kAudioNone;
    if (m_runHooks.audioChoice(&m_run.AudioChoice(), MainWindow()) != 1) return kWavDone;
    const bool recompress = m_run.AudioChoice() == kAudioRecompress;
    if (!recompress && m_run.AudioChoice() != kAudioCopy) return kWavDone;
    int startSample = 0, endSample = 0;
    ChooseAudioSpan(&startSample, &endSample);
    const int prepared = StartAudioAt(startSample);
    // Rates, scales and sizes divide below: a header with a zero among them is refused.
    const AVISTREAMINFOW& info = *audio->GetAudioStreamInfo();
    const WAVEFORMATEX* format = recompress ? audio->GetPCMFormat() : audio->GetAudioFormat();
    if (!(m_dRate > 0) || info.dwRate == 0 || info.dwScale == 0 || !format || format->nSamplesPerSec == 0 ||
        format->nChannels == 0 || (recompress && format->wBitsPerSample < 8))
        return kWavNotWritten;
    CWaveFileACM wav;
    wav.File().SetMaxFileBytes(m_runHooks.wavFileLimit);
    if (recompress) {
        // Audio without a decoder is found before the file exists.
        if (prepared != 0) return kWavNotWritten;
        wav.SetSourceFormat(format);
        if (!wav.ChooseFormat(GetSafeHwnd())) return kWavDone;
    } else {
        wav.SetTargetFormat(format);
    }
    CMemBuffBase<unsigned char> buffer;
    if (!buffer.Alloc(kTransferBytes) || buffer.GetCount() < kTransferBytes) return kWavNotWritten;
    if (IsSameFile(path, movie) || !wav.OpenWrite(path.c_str())) return kWavNotWritten;
    MarkRunning(*doc);
    m_stopwatch.ClearTotal();
    m_stopwatch.Start();
    int64_t total = INT64_MAX;  // outside range mode: to the end of the audio
    if (recompress && m_bRangeMode) {
        const int frameBytes = format->wBitsPerSample / 8 * format->nChannels;
        const double seconds = (m_nRangeEnd - m_nRangeStart + 1) / m_dRate;
        total = std::llround(std::max(seconds, 0.0) * format->nSamplesPerSec) * frameBytes;
    }
    const int transferred = recompress ? TransferPcm(wav, buffer.GetData(), total)
                                       : (TransferRaw(wav, buffer.GetData(), endSample) ? kWavDone : kWavWriteFailed);
    wav.Close();
    if (wav.IsSizeLimitReached()) return kWavLimitReached;
    return transferred;
}

void CTALVERNView::ChooseAudioSpan(int* startSample, int* endSample) {
    CDecAVIAudioComp* audio = AudioSource();
    const int64_t streamEnd = int64_t{audio->GetAudioStart()} + audio->GetAudioLength();
    // From the last 2000 samples of the audio, or past them, it starts at the beginning.
    if (streamEnd >= 2000 && audio->FrameToSample(m_nCurrent) > streamEnd - 2000) m_nCurrent = m_nFirst;
    if (m_bRangeMode) m_nCurrent = m_nRangeStart;
    else m_nRangeEnd = m_nCount - 1;
    m_nRangeStart = m_nCurrent;
    // The audio of the frames range start through range end; outside range mode to the stream's end.
    int start = 0, end = 0;
    CEncAVIAudio::AudioRangeForFrames(*audio->GetStreamInfo(), *audio->GetAudioStreamInfo(), m_nRangeStart,
                                      m_nRangeEnd, &start, &end);
    const int64_t last = m_bRangeMode ? std::min<int64_t>(end, streamEnd) : streamEnd;
    *startSample = start;
    *endSample = static_cast<int>(std::clamp<int64_t>(last, 0, INT_MAX));
}

int CTALVERNView::TransferPcm(CWaveFileACM& wav, BYTE* buffer, int64_t total) {
    CDecAVIAudioComp* audio = AudioSource();
    const WAVEFORMATEX pcm = *audio->GetPCMFormat();
    const int frameBytes = pcm.wBitsPerSample / 8 * pcm.nChannels;
    const int piece = std::max(kWavPieceBytes - kWavPieceBytes % frameBytes, frameBytes);
    const int startFrame = m_nRangeStart;
    for (int64_t done = 0; done < total;) {
        const int want = static_cast<int>(std::min<int64_t>(total - done, piece));
        const int got = audio->ReadPCM(buffer, want);
        // A decoder that fails leaves the file short of the audio: the user must learn so.
        if (got < 0) return kWavReadFailed;
        if (got == 0) return kWavDone;
        CPCMWavVolume::ApplyVolume(buffer, got, m_pDocument->m_Info.m_nVolume, pcm.wBitsPerSample);
        if (wav.Write(buffer, got) <= 0) return kWavWriteFailed;
        done += got;
        const double seconds = static_cast<double>(done) / pcm.nSamplesPerSec / frameBytes;
        m_nCurrent = FrameAtSeconds(seconds + startFrame / m_dRate, m_dRate, m_nRangeEnd);
        if (!AdvanceExtraction()) return kWavDone;
    }
    return kWavDone;
}

bool CTALVERNView::TransferRaw(CWaveFileACM& wav, BYTE* buffer, int endSample) {
    CDecAVIAudioComp* audio = AudioSource();
    const AVISTREAMINFOW& info = *audio->GetAudioStreamInfo();
    while (audio->GetAudioPosition() < endSample) {
        const int before = audio->GetAudioPosition();
        int bytes = ReadAudioBlock(*audio, endSample, buffer, kWavPieceBytes);
        // A chunk larger than a piece is read whole.
        if (audio->GetAudioPosition() == before) bytes = ReadAudioBlock(*audio, endSample, buffer, kTransferBytes);
        // At the end of the stream or at a sample that cannot be read.
        if (audio->GetAudioPosition() == before) return true;
        if (bytes > 0 && wav.WriteRaw(buffer, bytes) <= 0) return false;
        const double seconds = static_cast<double>(audio->GetAudioPosition()) * info.dwScale / info.dwRate;
        // The frame at the time reached, at most the last one of the range.
        m_nCurrent = FrameAtSeconds(seconds, m_dRate, m_nRangeEnd);
        if (!AdvanceExtraction()) return true;
    }
    return true;
}
