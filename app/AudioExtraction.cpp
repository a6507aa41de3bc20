#include "app/AudioExtraction.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "app/TALVERNDoc.h"
#include "foundation/PathUtil.h"
#include "platform/ui/Wnd.h"
#include "readers/DecAVIAudio.h"
#include "writers/EncAVIAudio.h"
#include "writers/PCMWavVolume.h"
#include "writers/WaveFileACM.h"

namespace {

constexpr int kTransferBytes = 400000;
// The audio goes into a WAV file in pieces of whole samples no larger than this, so
// that a file refused at its size limit holds everything up to within a piece of it.
constexpr int kWavPieceBytes = 1 << 16;

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

}  // namespace

CAudioExtraction::Outcome CAudioExtraction::Run(CTALVERNDoc& doc, const ViewSpan& view, std::wstring* path) {
    m_doc = &doc;
    m_audio = doc.GetAudioReader();
    m_rate = view.rate;
    const std::wstring& movie = doc.GetPathName();
    *path = JoinOutputPath(doc.m_Info.m_strOutputFolder, GetPathFileTitle(movie) + L"_audio.wav");
    if (ApplyOverwritePolicy(&doc.m_Info, *path, kWavFilter, movie) != 0) return Outcome::Done;
    m_audioChoice = kAudioNone;
    if (m_host.GetRunHooks().audioChoice(&m_audioChoice, m_host.MainWindow()) != 1) return Outcome::Done;
    const bool recompress = m_audioChoice == kAudioRecompress;
    if (!recompress && m_audioChoice != kAudioCopy) return Outcome::Done;
    int startSample = 0, endSample = 0;
    ChooseSpan(view, &startSample, &endSample);
    // The decoder's preparation is kept: it decides below whether audio can be recompressed.
    const int prepared = m_audio->PrepareDecode();
    m_audio->SetAudioPosition(startSample);
    // Rates, scales and sizes divide below: a header with a zero among them is refused.
    const AVISTREAMINFOW& info = *m_audio->GetAudioStreamInfo();
    const WAVEFORMATEX* format = recompress ? m_audio->GetPCMFormat() : m_audio->GetAudioFormat();
    if (!(m_rate > 0) || info.dwRate == 0 || info.dwScale == 0 || !format || format->nSamplesPerSec == 0 ||
        format->nChannels == 0 || (recompress && format->wBitsPerSample < 8))
        return Outcome::NotWritten;
    CWaveFileACM wav;
    wav.File().SetMaxFileBytes(m_host.GetRunHooks().wavFileLimit);
    if (recompress) {
        // Audio without a decoder is found before the file exists.
        if (prepared != 0) return Outcome::NotWritten;
        wav.SetSourceFormat(format);
        if (!wav.ChooseFormat(m_host.ViewWindow().GetSafeHwnd())) return Outcome::Done;
    } else {
        wav.SetTargetFormat(format);
    }
    if (!m_buffer.Alloc(kTransferBytes) || m_buffer.GetCount() < kTransferBytes) return Outcome::NotWritten;
    if (IsSameFile(*path, movie) || !wav.OpenWrite(path->c_str())) return Outcome::NotWritten;
    MarkExtractionRunning(doc);
    m_host.ClockStarts();
    int64_t total = INT64_MAX;  // outside range mode: to the end of the audio
    if (recompress && view.rangeMode) {
        const int frameBytes = format->wBitsPerSample / 8 * format->nChannels;
        const double seconds = (m_endFrame - m_startFrame + 1) / m_rate;
        total = std::llround(std::max(seconds, 0.0) * format->nSamplesPerSec) * frameBytes;
    }
    const Outcome transferred = recompress                       ? TransferPcm(wav, total)
                                : TransferRaw(wav, endSample) ? Outcome::Done
                                                                 : Outcome::WriteFailed;
    wav.Close();
    if (wav.IsSizeLimitReached()) return Outcome::LimitReached;
    return transferred;
}

void CAudioExtraction::ChooseSpan(const ViewSpan& view, int* startSample, int* endSample) {
    const int64_t streamEnd = int64_t{m_audio->GetAudioStart()} + m_audio->GetAudioLength();
    int start = view.current;
    // From the last 2000 samples of the audio, or past them, it starts at the beginning.
    if (streamEnd >= 2000 && m_audio->FrameToSample(start) > streamEnd - 2000) start = view.first;
    if (view.rangeMode) start = view.rangeStart;
    m_startFrame = start;
    m_endFrame = view.rangeMode ? view.rangeEnd : view.count - 1;
    m_host.SpanTaken(m_startFrame, m_endFrame);
    // The audio of the span's frames; outside range mode to the stream's end.
    int first = 0, end = 0;
    CEncAVIAudio::AudioRangeForFrames(*m_audio->GetStreamInfo(), *m_audio->GetAudioStreamInfo(), m_startFrame,
                                      m_endFrame, &first, &end);
    const int64_t last = view.rangeMode ? std::min<int64_t>(end, streamEnd) : streamEnd;
    *startSample = first;
    *endSample = static_cast<int>(std::clamp<int64_t>(last, 0, INT_MAX));
}

int CAudioExtraction::FrameAt(double seconds) const {
    const double frame = std::trunc(seconds * m_rate + 0.5);
    return static_cast<int>(std::clamp(frame, 0.0, static_cast<double>(std::max(m_endFrame, 0))));
}

CAudioExtraction::Outcome CAudioExtraction::TransferPcm(CWaveFileACM& wav, int64_t total) {
    const WAVEFORMATEX pcm = *m_audio->GetPCMFormat();
    const int frameBytes = pcm.wBitsPerSample / 8 * pcm.nChannels;
    const int piece = std::max(kWavPieceBytes - kWavPieceBytes % frameBytes, frameBytes);
    BYTE* buffer = m_buffer.GetData();
    for (int64_t done = 0; done < total;) {
        const int want = static_cast<int>(std::min<int64_t>(total - done, piece));
        const int got = m_audio->ReadPCM(buffer, want);
        // A decoder that fails leaves the file short of the audio: the user must learn so.
        if (got < 0) return Outcome::ReadFailed;
        if (got == 0) return Outcome::Done;
        CPCMWavVolume::ApplyVolume(buffer, got, m_doc->m_Info.m_nVolume, pcm.wBitsPerSample);
        if (wav.Write(buffer, got) <= 0) return Outcome::WriteFailed;
        done += got;
        const double seconds = static_cast<double>(done) / pcm.nSamplesPerSec / frameBytes;
        m_host.SetCurrentFrame(FrameAt(seconds + m_startFrame / m_rate));
        if (!m_host.MayGoOn()) return Outcome::Done;
    }
    return Outcome::Done;
}

bool CAudioExtraction::TransferRaw(CWaveFileACM& wav, int endSample) {
    const AVISTREAMINFOW& info = *m_audio->GetAudioStreamInfo();
    BYTE* buffer = m_buffer.GetData();
    while (m_audio->GetAudioPosition() < endSample) {
        const int before = m_audio->GetAudioPosition();
        int bytes = ReadAudioBlock(*m_audio, endSample, buffer, kWavPieceBytes);
        // A chunk larger than a piece is read whole.
        if (m_audio->GetAudioPosition() == before) bytes = ReadAudioBlock(*m_audio, endSample, buffer, kTransferBytes);
        // At the end of the stream or at a sample that cannot be read.
        if (m_audio->GetAudioPosition() == before) return true;
        if (bytes > 0 && wav.WriteRaw(buffer, bytes) <= 0) return false;
        const double seconds = static_cast<double>(m_audio->GetAudioPosition()) * info.dwScale / info.dwRate;
        // The frame at the time reached, at most the last one of the span.
        m_host.SetCurrentFrame(FrameAt(seconds));
        if (!m_host.MayGoOn()) return true;
    }
    return true;
}
