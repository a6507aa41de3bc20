// The conversion run of the view: Play, Pause and Stop, the preparation of the
// outputs, the passes over the frames and the end of the run; and the error report
// every long loop uses.
#include <QApplication>
#include <chrono>
#include <cwchar>
#include <thread>

#include "app/StreamCopy.h"
#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/LangString.h"
#include "foundation/PathUtil.h"
#include "foundation/ResultCodes.h"
#include "foundation/SysUtil.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/UiServices.h"
#include "platform/win32/ThreadRole.h"
#include "readers/DecAVIAudio.h"
#include "resources/CommandIds.h"

namespace {

constexpr UINT kStopCaption = 51201;

// The WMV writer hands back its writer's own failure from Close; the user is told
// that the output failed.
int WmvCloseResult(int result) { return result < 0 ? ResultCode::kWmvOutput : result; }

}  // namespace

void SystemBeep() { QApplication::beep(); }

// ---- Commands ----

void CTALVERNView::OnPlay() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen()) return;
    if (doc->m_nPlayState == PlayState::Paused) {
        // The paused pass sees the change at its next poll and goes on.
        doc->m_nPlayState = PlayState::Playing;
        return;
    }
    // A stopped run that has not yet come back from the message pump.
    if (doc->IsModified()) return;
    CTALVERNDoc::BusyScope busy(*doc);
    ChooseStartFrame();
    const int startSample = AudioSource() ? AudioSource()->FrameToSample(m_nRangeStart) : 0;
    m_run.PcmResult() = AudioSource() ? StartAudioAt(startSample) : 0;
    if (const int code = PrepareOutputs()) {
        // The failure that stopped the preparation is the one told.
        (void)m_run.Wmv().Close();
        (void)m_run.Avi().Close();
        StopOnError(code);
        return;
    }
    doc->m_nPlayState = PlayState::Playing;
    int reached = m_nRangeStart;
    int code = RunPasses(startSample, &reached);
    if (code == 0 && AudioSource() && doc->m_bOutputAvi && m_run.AudioChoice() == kAudioCopy) {
        // Exactly the audio of the frames written, from the start frame to the one reached.
        code = CStreamCopy::CopySourceAudio(m_run.Avi(), *AudioSource(), m_nRangeStart, reached, this);
        StopOnError(code);
    }
    FinishRun(code != 0);
}

void CTALVERNView::OnPause() {
    if (m_pDocument) {
        PlayState& state = m_pDocument->m_nPlayState;
        if (state == PlayState::Playing) state = PlayState::Paused;
        else if (state == PlayState::Paused) state = PlayState::Playing;
    }
    DrawStatus();
}

void CTALVERNView::OnStop() {
    CTALVERNDoc* doc = m_pDocument;
    if (!doc) return;
    if ((doc->m_bOutputAvi || doc->m_bOutputWmv) &&
        ShowMessageBox(this, GetMsgStopQuery(), LoadLangString(kStopCaption, kStopCaption + 1),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    doc->m_nPlayState = PlayState::Stopped;
}

// ---- The run's steps ----

CWnd* CTALVERNView::MainWindow() {
    CWnd* main = CWnd::FromWidget(window());
    return main ? main : this;
}

CDecAVIAudioComp* CTALVERNView::AudioSource() const {
    CDecAVIAudioComp* audio = m_pDocument ? m_pDocument->GetAudioReader() : nullptr;
    return audio && audio->HasAudioStream() ? audio : nullptr;
}

bool CTALVERNView::NeedsPcm() const {
    const CTALVERNDoc* doc = m_pDocument;
    return AudioSource() && (doc->m_bOutputWmv || (doc->m_bOutputAvi && m_run.AudioChoice() == kAudioRecompress));
}

int CTALVERNView::StartAudioAt(int sample) {
    // StartAudio's own steps, keeping what the decoder's preparation answered.
    CDecAVIAudioComp* audio = AudioSource();
    const int result = audio->PrepareDecode();
    audio->SetAudioPosition(sample);
    return result;
}

void CTALVERNView::ChooseStartFrame() {
    // From the last frame (or beyond) a run starts again at the first.
    if (m_nCurrent > m_nCount - 2) m_nCurrent = m_nFirst;
    if (m_bRangeMode) m_nCurrent = m_nRangeStart;
    else m_nRangeStart = m_nCurrent;
}

int CTALVERNView::PrepareOutputs() {
    CTALVERNDoc* doc = m_pDocument;
    const std::wstring prefix =
        JoinOutputPath(doc->m_Info.m_strOutputFolder, L"Enc_" + GetPathFileTitle(doc->GetPathName()));
    doc->m_strAviOutputPath = prefix + L".avi";
    doc->m_strWmvOutputPath = prefix + L".wmv";
    m_run.AudioChoice() = kAudioNone;
    if (const int code = AskOutputQuestions()) return code;
    return CreateOutputs();
}

int CTALVERNView::AskOutputQuestions() {
    CTALVERNDoc* doc = m_pDocument;
    CInfo& info = doc->m_Info;
    const std::wstring& movie = doc->GetPathName();
    CDecAVIAudioComp* audio = AudioSource();
    if (doc->m_bOutputAvi) {
        if (ApplyOverwritePolicy(&info, doc->m_strAviOutputPath, kAviFilter, movie) != 0) return DialogCancelled;
        if (m_runHooks.aviSettings(&doc->m_OutputHeader, &m_run.Avi().GetSetting(), MainWindow()) != 0)
            return DialogCancelled;
        if (audio && m_runHooks.audioChoice(&m_run.AudioChoice(), MainWindow()) != 1) return DialogCancelled;
        if (m_run.AudioChoice() == kAudioRecompress && audio) {
            if (m_run.PcmResult() != 0) return m_run.PcmResult();
            const WAVEFORMATEX* pcm = audio->GetPCMFormat();
            m_run.Avi().SetSourcePCMFormat(pcm->nSamplesPerSec, pcm->wBitsPerSample, pcm->nChannels);
            if (m_run.Avi().ChooseAudioFormat(GetSafeHwnd()) != 0) return DialogCancelled;
        }
    }
    if (doc->m_bOutputWmv) {
        if (audio && m_run.PcmResult() != 0) return m_run.PcmResult();
        if (ApplyOverwritePolicy(&info, doc->m_strWmvOutputPath, kWmvFilter, movie) != 0) return DialogCancelled;
        if (m_runHooks.wmvSettings(&info, this) != 0) return DialogCancelled;
        // Two passes are asked for with a profile file only.
        const bool file = info.m_nWmvKind == 3;
        m_run.Wmv().SetTwoPass(file && info.m_nTwoPass ? TRUE : FALSE);
        const int code = file ? m_run.Wmv().LoadProfileFile(info.m_strProfileFile.c_str())
                              : m_run.Wmv().LoadSystemProfile(info.m_nWmvKind, info.m_nWmv4Profile, info.m_nWmv7Profile,
                                                         info.m_nWmv8Profile);
        if (code != 0) return code;
    }
    return 0;
}

int CTALVERNView::CreateOutputs() {
    CTALVERNDoc* doc = m_pDocument;
    const bool avi = doc->m_bOutputAvi, wmv = doc->m_bOutputWmv;
    if (!avi && !wmv) return 0;
    const std::wstring& movie = doc->GetPathName();
    if ((avi && IsSameFile(doc->m_strAviOutputPath, movie)) || (wmv && IsSameFile(doc->m_strWmvOutputPath, movie)) ||
        (avi && wmv && IsSameFile(doc->m_strAviOutputPath, doc->m_strWmvOutputPath)))
        return ResultCode::kFileCreate;
    // The writers take the frame size from the header: it must say what each frame holds.
    BITMAPINFOHEADER& out = doc->m_OutputHeader;
    const std::optional<int64_t> frameBytes = FrameBytes24(out.biWidth, out.biHeight);
    if (out.biWidth <= 0 || out.biHeight <= 0 || !frameBytes) return ResultCode::kMemory;
    out.biBitCount = 24;
    out.biSizeImage = static_cast<DWORD>(*frameBytes);
    m_run.SetWriterHeader(out);
    const int rate = static_cast<int>(m_dRate * 10000);
    // Both writers divide by the rate they are given.
    if (rate <= 0) return ResultCode::kFormat;
    if (avi) {
        if (const int code = m_run.Avi().Create(doc->m_strAviOutputPath.c_str(), &out, rate, 0)) return code;
        if (m_run.AudioChoice() == kAudioRecompress)
            if (const int code = m_run.Avi().CreateAudioStream()) return code;
    }
    if (wmv) {
        const WAVEFORMATEX* pcm = AudioSource() ? AudioSource()->GetPCMFormat() : nullptr;
        const int sampleRate = pcm ? static_cast<int>(pcm->nSamplesPerSec) : 48000;
        const int channels = pcm ? pcm->nChannels : 2;
        const int bits = pcm ? pcm->wBitsPerSample : 16;
        if (const int code = m_run.Wmv().Open(doc->m_strWmvOutputPath.c_str(), &out, rate, sampleRate, channels, bits))
            return code;
    }
    return 0;
}

int CTALVERNView::RunPasses(int startSample, int* reached) {
    CTALVERNDoc* doc = m_pDocument;
    const int passes = doc->m_bOutputWmv && m_run.Wmv().IsTwoPass() ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        // Every pass reads the same audio from the start frame.
        if (AudioSource()) {
            const int prepared = StartAudioAt(startSample);
            if (prepared != 0 && NeedsPcm()) {
                StopOnError(prepared);
                return prepared;
            }
        }
        if (const int code = PlayLoop(m_nRangeStart, reached)) {
            StopOnError(code);
            return code;
        }
        if (doc->m_nPlayState == PlayState::Stopped) return 0;
        if (!doc->m_bOutputWmv) continue;
        if (const int code = m_run.Wmv().EndPass()) {
            StopOnError(code);
            return code;
        }
    }
    return 0;
}

void CTALVERNView::AbandonRun() {
    if (m_pDocument && m_pDocument->IsModified()) {
        m_pDocument->m_nPlayState = PlayState::Stopped;
        return;
    }
    m_run.Abandon();
}

void CTALVERNView::FinishRun(bool failed) {
    CTALVERNDoc* doc = m_pDocument;
    doc->SetModifiedFlag(FALSE);
    m_runHooks.beep();
    const int wmvClosed = WmvCloseResult(m_run.Wmv().Close());
    const int aviClosed = m_run.Avi().Close();
    // A file its writer could not finish is reported, never announced as saved; after
    // a failure already reported (a full disk fails the close as well) it is only not
    // announced: one failure, one box.
    if (!failed) {
        StopOnError(wmvClosed);
        StopOnError(aviClosed);
    }
    if (doc->m_bOutputAvi && aviClosed == 0) AnnounceSaved(doc->m_strAviOutputPath);
    if (doc->m_bOutputWmv && wmvClosed == 0) AnnounceSaved(doc->m_strWmvOutputPath);
    doc->m_nPlayState = PlayState::Stopped;
    update();
    LayoutSlider();
}

void CTALVERNView::AnnounceSaved(const std::wstring& path) {
    ShowMessageBox(this, FormatSavedToMsg(path), LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK);
}

// ---- One pass ----

int CTALVERNView::PlayLoop(int first, int* reached) {
    const int code = PlayFrames(first, reached);
    // Whatever ended the pass, the outputs of the frames handed to the worker are
    // finished; a failure among them came first.
    const int files = FinishWorkerFrames();
    return files ? files : code;
}

int CTALVERNView::PlayFrames(int first, int* reached) {
    CTALVERNDoc* doc = m_pDocument;
    const bool plain = IsIdentityClip();
    if (doc->IsAnyOutputOn()) {
        // The clip and the size stay as they are until the pass ends.
        m_resize.Release();
        if (const int code = m_run.PrepareOutputBuffer(*doc)) return code;
        const RECT& c = doc->m_ClipRect;
        m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
    }
    m_run.BeginPass({doc, AudioSource(), m_dRate, plain, [this] { PumpRunMessages(); }},
                    JoinOutputPath(doc->m_Info.m_strOutputFolder, GetPathFileTitle(doc->GetPathName())));
    // A range reaching past the movie ends at its last frame.
    const int last = std::min(m_bRangeMode ? m_nRangeEnd : m_nCount - 1, m_nCount - 1);
    m_stopwatch.ClearTotal();
    m_stopwatch.Start();
    int frame = *reached = MovieFrame(first);
    if (const int code = ShowFrameAt(frame)) return code;
    for (int n = 1;; ++n) {
        if (const int code = OutputFrame(frame, n)) return code;
        m_stopwatch.AddElapsed();
        if (const int code = WaitWhilePaused()) return code;
        m_stopwatch.Start();
        if (doc->m_nPlayState == PlayState::Stopped || frame >= last) return 0;
        *reached = ++frame;
        if (const int code = ShowFrameAt(frame)) return code;
    }
}

int CTALVERNView::WaitWhilePaused() {
    auto quitting = [this] {
        PumpRunMessages();
        return GetPlayState() == PlayState::Stopped;
    };
    if (quitting()) return 0;
    // A paused run shows a frame whose outputs are all written.
    if (GetPlayState() == PlayState::Paused)
        if (const int code = FinishWorkerFrames()) return code;
    while (GetPlayState() == PlayState::Paused) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (quitting()) break;
    }
    return 0;
}

// ---- Error report ----

bool CTALVERNView::ReportError(int code) {
    TALVERN_ASSERT_UI_THREAD();
    wchar_t caption[64];
    std::swprintf(caption, std::size(caption), LoadLangString(50503, 50504).c_str(), code);
    const std::wstring text = ErrorMessageForCode(code);
    if (text.empty()) return false;
    ShowMessageBox(this, std::wstring(caption) + L"\n\n" + text, caption, MB_OK | MB_ICONSTOP);
    return true;
}

void CTALVERNView::StopOnError(int code) {
    if (ErrorMessageForCode(code).empty()) return;
    // Stopped and closed before the box shows: nothing goes on behind it.
    if (m_pDocument) m_pDocument->m_nPlayState = PlayState::Stopped;
    m_infoAvi.Release();
    ReportError(code);
    if (m_pDocument) m_pDocument->m_Info.OnEncodeError(code);
}
