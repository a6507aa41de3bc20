// The stream copy and the audio extraction as the view starts and follows them: each
// runs as an object of its own (CStreamCopy, CAudioExtraction) and reaches the view
// only through IExtractionHost.
#include "app/AudioExtraction.h"
#include "app/StreamCopy.h"
#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/LangString.h"
#include "foundation/ResultCodes.h"
#include "platform/ui/UiServices.h"
#include "resources/CommandIds.h"

namespace {

std::wstring WithPath(std::wstring text, const std::wstring& path) {
    // The path replaces the %s as plain text: a '%' in a file name is no format.
    const size_t at = text.find(L"%s");
    return at == std::wstring::npos ? text + path : text.replace(at, 2, path);
}

}  // namespace

void CTALVERNView::OnExtractVideoStream() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen() || !doc->GetAudioReader() || doc->IsModified()) return;
    int code = 0;
    {
        CTALVERNDoc::BusyScope busy(*doc);
        ChooseStartFrame();
        MarkExtractionRunning(*doc);
        CStreamCopy copy(m_run.Avi(), *this);
        code = copy.Run(*doc, ExtractionSpan());
    }
    StopOnError(code);
    if (code == 0) StopOnError(ShowFrame());
    update();
}

void CTALVERNView::OnExtractAudioStream() {
    CTALVERNDoc* doc = m_pDocument;
    if (!AudioSource() || !IsStopped() || doc->IsModified()) return;
    std::wstring path;
    using Outcome = CAudioExtraction::Outcome;
    Outcome outcome = Outcome::Done;
    {
        CTALVERNDoc::BusyScope busy(*doc);
        CAudioExtraction extraction(*this);
        outcome = extraction.Run(*doc, ExtractionSpan(), &path);
    }
    // The extraction tells its own outcome; the frame is only shown again.
    (void)ShowFrame();
    update();
    if (outcome == Outcome::Done) return;
    // Nothing written is a failure like any other output's, not a quiet end.
    if (outcome == Outcome::NotWritten) {
        StopOnError(ResultCode::kOutput);
        return;
    }
    // The file stays readable up to where the audio stopped; the user learns why it ends there.
    const std::wstring text = outcome == Outcome::LimitReached ? LoadLangString(51503, 51504)
                              : outcome == Outcome::ReadFailed ? LoadLangString(51505, 51506)
                                                               : LoadLangString(51501, 51502);
    ShowMessageBox(this, WithPath(text, path), LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK | MB_ICONEXCLAMATION);
}

// ---- What the extractions ask of the view ----

ViewSpan CTALVERNView::ExtractionSpan() const {
    return {m_nCurrent, m_nFirst, m_nCount, m_dRate, m_bRangeMode != FALSE, m_nRangeStart, m_nRangeEnd};
}

void CTALVERNView::SpanTaken(int start, int end) {
    m_nRangeStart = m_nCurrent = start;
    m_nRangeEnd = end;
}

void CTALVERNView::ClockStarts() {
    m_stopwatch.ClearTotal();
    m_stopwatch.Start();
}

bool CTALVERNView::MayGoOn() {
    DrawStatus();
    m_stopwatch.AddElapsed();
    // No worker writes for an extraction: nothing can fail while it waits.
    (void)WaitWhilePaused();
    m_stopwatch.Start();
    return GetPlayState() != PlayState::Stopped;
}
