#include "app/StreamCopy.h"

#include <algorithm>
#include <cstdlib>

#include "app/TALVERNDoc.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/ResultCodes.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/Wnd.h"
#include "readers/DecAVIAudio.h"
#include "resources/CommandIds.h"

namespace {

constexpr int kPcmPieceBytes = 1 << 20;

// The first key frame from `from` through `last`, frame 0 counting as one; -1 when
// there is none.
int FindKeyFrame(CDecAVI& source, int from, int last) {
    for (int k = std::max(from, 0); k <= last; ++k)
        if (k == 0 || source.IsKeyFrame(k)) return k;
    return -1;
}

// Asks whether a copy of the source audio stops at a sample that cannot be read.
class AudioReadFailureBox : public IAudioReadFailurePrompt {
public:
    explicit AudioReadFailureBox(QWidget* owner) : m_owner(owner) {}
    bool AskStop(const std::wstring& text) override {
        return ShowMessageBox(m_owner, text, LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OKCANCEL | MB_ICONQUESTION) ==
               IDOK;
    }

private:
    QWidget* m_owner;
};

}  // namespace

int CStreamCopy::Run(CTALVERNDoc& doc, const ViewSpan& view) {
    const int code = Copy(doc, view);
    // A file its writer could not finish is reported like any other failure.
    const int closed = m_avi.Close();
    return closed != 0 && (code == 0 || code == DialogCancelled) ? closed : code;
}

int CStreamCopy::Copy(CTALVERNDoc& doc, const ViewSpan& view) {
    CDecAVIAudioComp* source = doc.GetAudioReader();
    if (!source) return ResultCode::kFailed;
    CDecAVIAudioComp* audio = source->HasAudioStream() ? source : nullptr;
    const int last = std::min(view.rangeMode ? view.rangeEnd : view.count - 1, view.count - 1);
    const int start = FindKeyFrame(*source, view.current, last);
    // Without a key frame to start from there is nothing to copy: no file is made, and
    // the user is told so rather than left to look for one.
    if (start < 0) return ResultCode::kOutput;
    const std::wstring& movie = doc.GetPathName();
    std::wstring path = JoinOutputPath(doc.m_Info.m_strOutputFolder, L"Copy_" + GetPathFileTitle(movie) + L".avi");
    if (ApplyOverwritePolicy(&doc.m_Info, path, kAviFilter, movie) != 0) return DialogCancelled;
    if (IsSameFile(path, movie)) return ResultCode::kFileCreate;
    m_host.SpanTaken(start, view.rangeEnd);
    m_host.ClockStarts();
    if (const int code = AskAudio(audio, start)) return code;
    if (const int code = Open(*source, path)) return code;
    if (m_audioChoice == kAudioRecompress)
        if (const int code = m_avi.CreateAudioStream()) return code;
    int reached = start;
    const int code = CopySamples(*source, audio, start, last, &reached);
    // The copied audio belongs to the frames copied, also after a Stop.
    if (code == 0 && m_audioChoice == kAudioCopy)
        return CopySourceAudio(m_avi, *audio, start, reached, m_host.ViewWindow().GetWidget());
    return code;
}

int CStreamCopy::AskAudio(CDecAVIAudioComp* audio, int startFrame) {
    m_audioChoice = kAudioNone;
    if (!audio) return 0;
    // The decoder's preparation is kept: it decides below whether audio can be recompressed.
    const int prepared = audio->PrepareDecode();
    audio->SetAudioPosition(audio->FrameToSample(startFrame));
    if (m_host.GetRunHooks().audioChoice(&m_audioChoice, m_host.MainWindow()) != 1) return DialogCancelled;
    if (m_audioChoice != kAudioRecompress) return 0;
    // Audio without a decoder cannot be recompressed: told before any file exists.
    if (prepared != 0) return prepared;
    const WAVEFORMATEX* pcm = audio->GetPCMFormat();
    m_avi.SetSourcePCMFormat(pcm->nSamplesPerSec, pcm->wBitsPerSample, pcm->nChannels);
    return m_avi.ChooseAudioFormat(m_host.ViewWindow().GetSafeHwnd()) != 0 ? DialogCancelled : 0;
}

int CStreamCopy::Open(CDecAVIAudioComp& source, const std::wstring& path) {
    void* format = nullptr;
    int size = 0;
    int code = source.ReadFormat(&format, &size);
    if (code == 0) code = m_avi.OpenCopy(path.c_str(), source.GetStreamInfo(), format, size);
    std::free(format);
    return code;
}

int CStreamCopy::CopySamples(CDecAVIAudioComp& source, CDecAVIAudioComp* audio, int first, int last, int* reached) {
    for (int frame = first; frame <= last;) {
        int samples = 0, bytes = 0;
        if (const int code = source.ReadSample(frame, &samples, &m_sample, &bytes)) return code;
        if (const int code = m_avi.WriteSample(samples, m_sample.GetData(), bytes, source.IsKeyFrame(frame)))
            return code;
        // The frame reached is the last one copied; a read may deliver several.
        const int next = frame + std::max(samples, 1);
        *reached = std::min(next - 1, last);
        m_host.SetCurrentFrame(*reached);
        frame = next;
        if (m_audioChoice == kAudioRecompress)
            if (const int code = WriteDueAudio(*audio)) return code;
        if (!m_host.MayGoOn()) return 0;
    }
    return 0;
}

int CStreamCopy::WriteDueAudio(CDecAVIAudioComp& audio) {
    for (int due = m_avi.GetAudioBytesDue(); due > 0;) {
        const int want = std::min(due, kPcmPieceBytes);
        BYTE* buffer = m_pcm.GetBuffer(want);
        if (!buffer || m_pcm.GetCount() < want) return ResultCode::kMemory;
        const int got = audio.ReadPCM(buffer, want);
        // A decoder that fails ends the copy: nothing stands in for the audio it lost.
        if (got < 0) return ResultCode::kStreamRead;
        if (got == 0) return 0;
        if (const int code = m_avi.WriteAudio(buffer, got)) return code;
        due -= got;
    }
    return 0;
}

int CStreamCopy::CopySourceAudio(CEncAVI2& avi, CDecAVIAudioComp& audio, int first, int last, QWidget* owner) {
    int start = 0, end = 0;
    // Exactly the audio of the frames written, from the first frame to the last.
    CEncAVIAudio::AudioRangeForFrames(*audio.GetStreamInfo(), *audio.GetAudioStreamInfo(), first, last, &start, &end);
    AudioReadFailureBox prompt(owner);
    avi.SetReadFailurePrompt(&prompt);
    int code = avi.OpenAudio(audio.GetAudioFormat(), audio.GetAudioStreamInfo(), L"");
    if (code == 0) code = avi.CopyAudioStream(start, end, audio.GetAudioStream());
    avi.SetReadFailurePrompt(nullptr);
    return code;
}
