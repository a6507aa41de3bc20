#include "app/TALVERNDoc.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>

#include "app/MovieViewOps.h"
#include "foundation/LangString.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/Wnd.h"
#include "readers/DecAVIAudio.h"
#include "readers/DecDVAVI.h"
#include "resources/CommandIds.h"

namespace {

constexpr int kIntervalNone = 10000;
constexpr int kIntervalThin = 30;
constexpr int kIntervalAll = 1;

// A line without a value (ideographic space, fullwidth hyphen-minus), in both languages.
constexpr wchar_t kNoValue[] = L"\u3000\uFF0D";

// The rest of the program divides by the rate, keeps it x 10000 in a 32-bit int and
// sizes frame buffers from the frame size: a reader that cannot give usable values
// fails its try as if it had not opened.
bool IsUsableReader(CDecMovie& reader) {
    const double rate = reader.GetFrameRate();
    return std::isfinite(rate) && rate > 0 && rate * 10000.0 <= double(INT_MAX) &&
           reader.GetFrameCount() >= 1 && reader.GetWidth() >= 1 && reader.GetHeight() >= 1;
}

template <typename T>
std::wstring FormatValue(const wchar_t* format, T value) {
    wchar_t buf[64];
    const int n = std::swprintf(buf, sizeof buf / sizeof buf[0], format, value);
    return n < 0 ? std::wstring() : std::wstring(buf, static_cast<size_t>(n));
}

}  // namespace

CTALVERNDoc::CTALVERNDoc() : m_InfoLines(kInfoLineCount) {
    ResetInfoLines();
    ResetContents();
    RegisterCommands();
}

CTALVERNDoc::~CTALVERNDoc() = default;

CTALVERNDoc::BusyScope::BusyScope(CTALVERNDoc& doc) : m_doc(doc) { m_doc.SetModifiedFlag(TRUE); }

CTALVERNDoc::BusyScope::~BusyScope() {
    m_doc.SetModifiedFlag(FALSE);
    m_doc.m_nPlayState = PlayState::Stopped;
    m_doc.m_bExtracting = FALSE;
}

void CTALVERNDoc::RegisterCommands() {
    struct Row {
        UINT id;
        void (CTALVERNDoc::*handler)();
        void (CTALVERNDoc::*update)(CCmdUI&);
    };
    static constexpr Row kRows[] = {
        {ID_OUTPUT_JPG, &CTALVERNDoc::OnOutputJpg, &CTALVERNDoc::OnUpdateOutputJpg},
        {ID_OUTPUT_BMP, &CTALVERNDoc::OnOutputBmp, &CTALVERNDoc::OnUpdateOutputBmp},
        {ID_OUTPUT_AVI, &CTALVERNDoc::OnOutputAvi, &CTALVERNDoc::OnUpdateOutputAvi},
        {ID_OUTPUT_WMV, &CTALVERNDoc::OnOutputWmv, &CTALVERNDoc::OnUpdateOutputWmv},
        {ID_OUTPUT_TIF, &CTALVERNDoc::OnOutputTif, &CTALVERNDoc::OnUpdateOutputTif},
        {ID_OUTPUT_PNG, &CTALVERNDoc::OnOutputPng, &CTALVERNDoc::OnUpdateOutputPng},
        {ID_PREVIEW_NONE, &CTALVERNDoc::OnPreviewNone, &CTALVERNDoc::OnUpdatePreviewNone},
        {ID_PREVIEW_THIN, &CTALVERNDoc::OnPreviewThin, &CTALVERNDoc::OnUpdatePreviewThin},
        {ID_PREVIEW_ALL, &CTALVERNDoc::OnPreviewAll, &CTALVERNDoc::OnUpdatePreviewAll},
    };
    for (const Row& row : kRows) {
        OnCommand(row.id, [this, h = row.handler](UINT) { (this->*h)(); });
        OnUpdateCommand(row.id, [this, u = row.update](CCmdUI& ui) { (this->*u)(ui); });
    }
}

CDecMovie* CTALVERNDoc::NewReader(int attempt) const {
    if (attempt == 0) return new (std::nothrow) CDecAVIAudioComp;
    if (attempt == 1) return new (std::nothrow) CDecDVAVI;
    return nullptr;
}

BOOL CTALVERNDoc::OnOpenDocument(const std::wstring& path) {
    if (!CDocument::OnOpenDocument(path)) return FALSE;
    IMovieViewOps* view = dynamic_cast<IMovieViewOps*>(GetView());
    for (int attempt = 0; attempt < kReaderCount; ++attempt) {
        if (TryReader(attempt, path, view)) {
            SetModifiedFlag(FALSE);
            return TRUE;
        }
    }
    SetPathName(L"");
    // An information window still open must not go on showing a reader that failed.
    ResetInfoLines();
    CWnd* owner = GetView();
    ShowMessageBox(owner ? owner->GetWidget() : nullptr, LoadLangString(43059, 43060),
                   LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_OK);
    return FALSE;
}

bool CTALVERNDoc::TryReader(int attempt, const std::wstring& path, IMovieViewOps* view) {
    // Reset first: the view shows these lines in an information window left open.
    ResetInfoLines();
    CloseMovie(view);
    m_VideoStreamInfo = {};
    m_AudioStreamInfo = {};
    CDecMovie* reader = NewReader(attempt);
    if (!reader) return false;
    m_Reader.Attach(reader);
    // The base step checked the path; checking again right before the reader opens it
    // keeps a file replaced by a FIFO or a device meanwhile from blocking the reader.
    if (!CanOpenRegularFileForReading(path) || reader->Open(path.c_str()) != 0 ||
        !IsUsableReader(*reader)) {
        CloseMovie(view);
        return false;
    }
    SetPathName(path);
    FillVideoInfo();
    FillAudioInfo();
    const bool shown = !view || view->InitAfterOpen() == 0;
    if (shown && m_Reader && IsMovieOpen()) return true;
    // The view closes the movie itself when it cannot show it; make sure of it.
    if (m_Reader || IsMovieOpen()) CloseMovie(view);
    return false;
}

void CTALVERNDoc::CloseMovie(IMovieViewOps* view) {
    if (view) {
        view->CloseMovie();
        return;
    }
    m_nPlayState = PlayState::Stopped;
    ResetContents();
}

BOOL CTALVERNDoc::SaveModified() {
    if (!IsModified()) return CDocument::SaveModified();
    if (IsAnyOutputOn() || m_bExtracting) {
        CWnd* owner = GetView();
        if (ShowMessageBox(owner ? owner->GetWidget() : nullptr, LoadLangString(43053, 43054),
                           LoadStringTableEntry(AFX_IDS_APP_TITLE), MB_YESNO | MB_ICONQUESTION) == IDYES)
            m_nPlayState = PlayState::Stopped;
    } else {
        m_nPlayState = PlayState::Stopped;
    }
    // The running loop sees Stopped at its next poll and clears the modified flag; the
    // user then repeats the close or the open.
    return FALSE;
}

void CTALVERNDoc::ResetContents() {
    m_ClipRect = {0, 0, 0, 0};
    m_bOutputAvi = m_bOutputWmv = FALSE;
    m_bOutputBmp = m_bOutputJpg = m_bOutputTif = m_bOutputPng = FALSE;
    m_bExtracting = FALSE;
    SetPathName(L"");
    m_VideoStreamInfo = {};
    m_AudioStreamInfo = {};
    m_Reader.Release();
}

CDecAVIAudioComp* CTALVERNDoc::GetAudioReader() const {
    CDecMovie* reader = m_Reader.Get();
    if (auto* avi = dynamic_cast<CDecAVIAudioComp*>(reader)) return avi;
    if (auto* combined = dynamic_cast<CDecDVAVI*>(reader)) return combined->GetAudioReader();
    return nullptr;
}

BOOL CTALVERNDoc::IsAnyOutputOn() const {
    return m_bOutputAvi || m_bOutputWmv || m_bOutputBmp || m_bOutputJpg || m_bOutputTif ||
                   m_bOutputPng
               ? TRUE
               : FALSE;
}

void CTALVERNDoc::ResetInfoLines() {
    m_InfoLines.assign(kInfoLineCount, kNoValue);
}

void CTALVERNDoc::SetInfoLine(int line, const std::wstring& text) {
    m_InfoLines.at(static_cast<size_t>(line)) = text;
}

void CTALVERNDoc::FillVideoInfo() {
    CDecMovie* reader = m_Reader.Get();
    if (!reader) return;
    if (CDecAVIAudioComp* avi = GetAudioReader()) {
        SetInfoLine(0, avi->GetTypeText());
        SetInfoLine(1, avi->GetHandlerText());
        SetInfoLine(2, avi->GetCodecText());
        m_VideoStreamInfo = *avi->GetStreamInfo();
    }
    SetInfoLine(3, FormatValue(L"%d", reader->GetFrameCount()));
    SetInfoLine(4, FormatValue(L"%6.3f fps", reader->GetFrameRate()));
    SetInfoLine(5, FormatValue(L"%d pixl", reader->GetWidth()));
    SetInfoLine(6, FormatValue(L"%d pixl", reader->GetHeight()));
}

void CTALVERNDoc::FillAudioInfo() {
    CDecAVIAudioComp* avi = GetAudioReader();
    if (!avi || !avi->HasAudioStream()) return;
    SetInfoLine(10, avi->GetChannelsText());
    SetInfoLine(11, FormatValue(L"%d Hz", avi->GetSamplesPerSec()));
    SetInfoLine(12, avi->GetFormatName());
    m_AudioStreamInfo = *avi->GetAudioStreamInfo();
}

void CTALVERNDoc::ToggleOutput(BOOL& output) {
    output = output ? FALSE : TRUE;
}

// The loops read the switches between frames, so they change only while stopped.
void CTALVERNDoc::UpdateOutput(CCmdUI& ui, BOOL output) const {
    ui.Enable(IsMovieOpen() && m_nPlayState == PlayState::Stopped);
    ui.SetCheck(output ? 1 : 0);
}

void CTALVERNDoc::CheckInterval(CCmdUI& ui, int interval) const {
    ui.SetCheck(m_nDisplayInterval == interval ? 1 : 0);
}

void CTALVERNDoc::OnOutputJpg() { ToggleOutput(m_bOutputJpg); }
void CTALVERNDoc::OnOutputBmp() { ToggleOutput(m_bOutputBmp); }
void CTALVERNDoc::OnOutputAvi() { ToggleOutput(m_bOutputAvi); }
void CTALVERNDoc::OnOutputWmv() { ToggleOutput(m_bOutputWmv); }
void CTALVERNDoc::OnOutputTif() { ToggleOutput(m_bOutputTif); }
void CTALVERNDoc::OnOutputPng() { ToggleOutput(m_bOutputPng); }
void CTALVERNDoc::OnPreviewNone() { m_nDisplayInterval = kIntervalNone; }
void CTALVERNDoc::OnPreviewThin() { m_nDisplayInterval = kIntervalThin; }
void CTALVERNDoc::OnPreviewAll() { m_nDisplayInterval = kIntervalAll; }

void CTALVERNDoc::OnUpdateOutputJpg(CCmdUI& ui) { UpdateOutput(ui, m_bOutputJpg); }
void CTALVERNDoc::OnUpdateOutputBmp(CCmdUI& ui) { UpdateOutput(ui, m_bOutputBmp); }
void CTALVERNDoc::OnUpdateOutputAvi(CCmdUI& ui) { UpdateOutput(ui, m_bOutputAvi); }
void CTALVERNDoc::OnUpdateOutputWmv(CCmdUI& ui) { UpdateOutput(ui, m_bOutputWmv); }
void CTALVERNDoc::OnUpdateOutputTif(CCmdUI& ui) { UpdateOutput(ui, m_bOutputTif); }
void CTALVERNDoc::OnUpdateOutputPng(CCmdUI& ui) { UpdateOutput(ui, m_bOutputPng); }
void CTALVERNDoc::OnUpdatePreviewNone(CCmdUI& ui) { CheckInterval(ui, kIntervalNone); }
void CTALVERNDoc::OnUpdatePreviewThin(CCmdUI& ui) { CheckInterval(ui, kIntervalThin); }
void CTALVERNDoc::OnUpdatePreviewAll(CCmdUI& ui) { CheckInterval(ui, kIntervalAll); }
