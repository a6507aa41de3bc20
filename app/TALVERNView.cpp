// The view: creation, opening and closing a movie, zoom, navigation, the frame
// range, the slider, context menus, dropped files and the side-window commands.
#include "app/TALVERNView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/MainFrame.h"
#include "app/TALVERNDoc.h"
#include "dialogs/Launchers.h"
#include "foundation/LangString.h"
#include "foundation/ResultCodes.h"
#include "foundation/SysUtil.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/MenuTemplate.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinApp.h"
#include "platform/win32/ThreadRole.h"
#include "resources/CommandIds.h"

namespace {

constexpr UINT kSliderId = 101;

// The zoom presets in id order.
constexpr double kZoomPresets[] = {0.25, 0.5, 1.0, 1.5, 2.0, 4.0};

}  // namespace

double ClampZoom(double zoom) {
    if (std::isnan(zoom)) return 1.0;
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double ZoomByNotches(double zoom, int notches) {
    // Twelve steps cross the whole allowed span; more only clamp.
    return ClampZoom(std::ldexp(ClampZoom(zoom), std::clamp(notches, -16, 16)));
}

int CWheelNotches::Add(int delta) {
    m_rest += delta;
    const int64_t notches = m_rest / 120;
    m_rest -= notches * 120;
    return static_cast<int>(notches);
}

// ---- Creation ----

CTALVERNView::CTALVERNView(QWidget* parent) : CBaseView(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_pSlider = new CSliderSelect(this);
    m_pSlider->setProperty("talvernControlId", kSliderId);
    m_pSlider->setGeometry(0, 0, 0, 0);
    m_pSlider->hide();  // shown by the first LayoutSlider
    SetCommandFailureHook([this] { AbandonRun(); });
    m_pSlider->SetScrollHandler([this](CSliderSelect::Scroll what) { OnHScroll(what); });
    RegisterCommands();
    RegisterUpdateRules();
}

CTALVERNView::~CTALVERNView() {
    SetCommandFailureHook({});
    CloseMovie();
    // The holders release their windows into the graveyard, which deletes them last.
    m_shorityu.Release();
    m_resize.Release();
    m_bmpInfo.Release();
    m_player.Release();
    m_infoAvi.Release();
}

template <typename F>
void CTALVERNView::Command(UINT first, UINT last, F handler) {
    OnCommandRange(first, last, [this, handler](UINT id) {
        CWindowGraveyard::Scope running(m_graveyard);
        // Windows released by handlers that have since returned can go now.
        m_graveyard.Collect();
        handler(id);
    });
}

void CTALVERNView::RegisterCommands() {
    Command(ID_FILE_OPEN, ID_FILE_OPEN, [this](UINT) { OnFileOpen(); });
    Command(ID_ZOOM_25, ID_ZOOM_400, [this](UINT id) { OnZoom(id); });
    Command(ID_ZOOM_UP, ID_ZOOM_UP, [this](UINT) { OnZoomUp(); });
    Command(ID_ZOOM_DOWN, ID_ZOOM_DOWN, [this](UINT) { OnZoomDown(); });
    Command(ID_DISPLAY_REFRESH, ID_DISPLAY_REFRESH, [this](UINT) { OnDisplayRefresh(); });
    Command(ID_MOVE_END, ID_MOVE_START, [this](UINT id) { OnMoveTo(id); });
    Command(ID_GOTO_RANGE_START, ID_GOTO_RANGE_END, [this](UINT id) { OnMoveTo(id); });
    Command(ID_RANGE_START, ID_RANGE_START, [this](UINT) { OnSetRangeStart(); });
    Command(ID_RANGE_END, ID_RANGE_END, [this](UINT) { OnSetRangeEnd(); });
    Command(ID_RANGE_WHOLE, ID_RANGE_WHOLE, [this](UINT) { OnRangeWhole(); });
    Command(ID_RANGE_PLAY, ID_RANGE_PLAY, [this](UINT) { OnRangePlay(); });
    Command(ID_DEINTERLACE_NO, ID_DEINTERLACE_DOUBLING, [this](UINT id) { OnDeinterlaceMode(id); });
    Command(ID_SHOW_ORIGINAL, ID_SHOW_ORIGINAL, [this](UINT) { OnShowOriginal(); });
    Command(ID_VIEWER_CLOSED, ID_VIEWER_CLOSED, [this](UINT) { OnViewerClosed(); });
    Command(ID_OUTPUT_SETTINGS, ID_OUTPUT_SETTINGS, [this](UINT) { OnOutputSettings(); });
    Command(ID_PLAY, ID_PLAY, [this](UINT) { OnPlay(); });
    Command(ID_STOP, ID_STOP, [this](UINT) { OnStop(); });
    Command(ID_PAUSE, ID_PAUSE, [this](UINT) { OnPause(); });
    Command(ID_SAVE_IMAGE, ID_SAVE_IMAGE, [this](UINT) { OnSaveImage(); });
    Command(ID_EDIT_COPY, ID_EDIT_COPY, [this](UINT) { OnEditCopy(); });
    // The side windows; a window's own close id only ever closes it.
    Command(ID_CLIP_RESIZE, ID_CLIP_RESIZE, [this](UINT) { OnClipResize(); });
    Command(ID_RESIZE_CLOSED, ID_RESIZE_CLOSED, [this](UINT) { m_resize.Release(); });
    Command(ID_FILE_INFO, ID_FILE_INFO, [this](UINT) { OnFileInfo(); });
    Command(ID_BMP_INFO, ID_BMP_INFO, [this](UINT) { OnBmpInfo(); });
    Command(ID_BMP_INFO_CLOSED, ID_BMP_INFO_CLOSED, [this](UINT) { m_bmpInfo.Release(); });
    Command(ID_EXTRACT_VIDEO, ID_EXTRACT_VIDEO, [this](UINT) { OnExtractVideoStream(); });
    Command(ID_EXTRACT_AUDIO, ID_EXTRACT_AUDIO, [this](UINT) { OnExtractAudioStream(); });
    Command(ID_PLAYER_TOGGLE, ID_PLAYER_TOGGLE, [this](UINT) { OnPlayerToggle(); });
    Command(ID_PLAYER_PAUSE, ID_PLAYER_PAUSE, [this](UINT) { OnPlayerPause(); });
    Command(ID_PLAYER_FIRST, ID_PLAYER_FIRST, [this](UINT) { OnPlayerFirst(); });
    Command(ID_PLAYER_LAST, ID_PLAYER_LAST, [this](UINT) { OnPlayerLast(); });
    Command(ID_PLAYER_CLOSED, ID_PLAYER_CLOSED, [this](UINT) { OnPlayerClosed(); });
}

void CTALVERNView::RegisterUpdateRules() {
    OnUpdateCommandRange(ID_ZOOM_25, ID_ZOOM_400, [this](CCmdUI& ui) {
        ui.SetCheck(m_dZoom == kZoomPresets[ui.m_nID - ID_ZOOM_25] ? 1 : 0);
    });
    // Moving needs a stopped movie and somewhere to go.
    auto notFirst = [this](CCmdUI& ui) { ui.Enable(IsFileOpen() && IsStopped() && m_nCurrent != m_nFirst); };
    auto notLast = [this](CCmdUI& ui) { ui.Enable(IsFileOpen() && IsStopped() && m_nCurrent != m_nCount - 1); };
    OnUpdateCommand(ID_MOVE_START, notFirst);
    OnUpdateCommand(ID_PREV_FRAME, notFirst);
    OnUpdateCommand(ID_MOVE_END, notLast);
    OnUpdateCommand(ID_NEXT_FRAME, notLast);
    // The range commands keep start <= end between them.
    auto inRange = [this] { return IsFileOpen() && IsStopped() && m_bRangeMode; };
    OnUpdateCommand(ID_RANGE_PLAY, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen() && IsStopped());
        ui.SetCheck(m_bRangeMode ? 1 : 0);
    });
    OnUpdateCommand(ID_RANGE_START, [this, inRange](CCmdUI& ui) { ui.Enable(inRange() && m_nCurrent < m_nRangeEnd); });
    OnUpdateCommand(ID_RANGE_END, [this, inRange](CCmdUI& ui) { ui.Enable(inRange() && m_nCurrent > m_nRangeStart); });
    OnUpdateCommandRange(ID_GOTO_RANGE_START, ID_RANGE_WHOLE, [inRange](CCmdUI& ui) { ui.Enable(inRange()); });
    OnUpdateCommandRange(ID_DEINTERLACE_NO, ID_DEINTERLACE_DOUBLING, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen());
        ui.SetCheck(ui.m_nID == static_cast<UINT>(m_nDeinterlace) + ID_DEINTERLACE_NO ? 1 : 0);
    });
    OnUpdateCommand(ID_SHOW_ORIGINAL, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen());
        ui.SetCheck(m_shorityu ? 1 : 0);
    });
    // The run: Play starts or resumes, Pause and Stop need one in progress.
    OnUpdateCommand(ID_PLAY, [this](CCmdUI& ui) { ui.Enable(IsFileOpen() && GetPlayState() != PlayState::Playing); });
    OnUpdateCommand(ID_STOP, [this](CCmdUI& ui) { ui.Enable(IsFileOpen() && !IsStopped()); });
    OnUpdateCommand(ID_PAUSE, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen() && !IsStopped());
        ui.SetCheck(GetPlayState() == PlayState::Paused ? 1 : 0);
    });
    auto needsFile = [this](CCmdUI& ui) { ui.Enable(IsFileOpen()); };
    OnUpdateCommand(ID_SAVE_IMAGE, needsFile);
    OnUpdateCommand(ID_EDIT_COPY, needsFile);
    // The clip and the size stay fixed while a run with an output is under way.
    OnUpdateCommand(ID_CLIP_RESIZE, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen() && (IsStopped() || !m_pDocument->IsAnyOutputOn()));
        ui.SetCheck(IsIdentityClip() ? 0 : 1);
    });
    // The information window outlives a movie, so it can be closed without one.
    OnUpdateCommand(ID_FILE_INFO, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen() || m_infoAvi);
        ui.SetCheck(m_infoAvi ? 1 : 0);
    });
    OnUpdateCommand(ID_BMP_INFO, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen());
        ui.SetCheck(m_bmpInfo ? 1 : 0);
    });
    // The extractions read the movie's AVI streams themselves.
    OnUpdateCommand(ID_EXTRACT_VIDEO, [this](CCmdUI& ui) {
        ui.Enable(IsFileOpen() && IsStopped() && m_pDocument->GetAudioReader());
    });
    OnUpdateCommand(ID_EXTRACT_AUDIO, [this](CCmdUI& ui) { ui.Enable(IsStopped() && AudioSource()); });
    OnUpdateCommand(ID_PLAYER_TOGGLE, [this](CCmdUI& ui) { OnUpdatePlayerToggle(ui); });
    OnUpdateCommand(ID_PLAYER_PAUSE, [this](CCmdUI& ui) { OnUpdatePlayerPause(ui); });
    OnUpdateCommand(ID_PLAYER_FIRST, [this](CCmdUI& ui) { OnUpdatePlayerFirstLast(ui); });
    OnUpdateCommand(ID_PLAYER_LAST, [this](CCmdUI& ui) { OnUpdatePlayerFirstLast(ui); });
}

void CTALVERNView::OnInitialUpdate() { RefreshFolderDisplay(); }

void CTALVERNView::RefreshFolderDisplay() {
    auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    if (!frame || !m_pDocument) return;
    frame->SetStatus(m_pDocument->m_Info.m_strOutputFolder, m_pDocument->m_Info.m_nJpegQuality);
}

void CTALVERNView::ResetMainTitle() {
    // Without a movie the frame's title is the application's alone.
    if (CFrameWnd* frame = AfxGetMainWnd()) frame->OnUpdateFrameTitle();
}

// ---- The document's state ----

bool CTALVERNView::IsFileOpen() const { return m_pDocument && m_pDocument->IsMovieOpen(); }

PlayState CTALVERNView::GetPlayState() const {
    return m_pDocument ? m_pDocument->m_nPlayState : PlayState::Stopped;
}

bool CTALVERNView::IsStopped() const { return GetPlayState() == PlayState::Stopped; }

bool CTALVERNView::GetSourceHeader(BITMAPINFOHEADER* out) const {
    CDecMovie* reader = m_pDocument ? m_pDocument->m_Reader.Get() : nullptr;
    if (!reader) return false;
    reader->GetOutputFormat(out);
    return true;
}

// ---- Opening and closing ----

int CTALVERNView::InitAfterOpen() {
    CTALVERNDoc* doc = m_pDocument;
    CDecMovie* reader = doc ? doc->m_Reader.Get() : nullptr;
    if (!reader) return ResultCode::kFailed;
    m_nCount = reader->GetFrameCount();
    m_nCurrent = 0;
    m_nFirst = 0;
    m_dRate = reader->GetFrameRate();
    if (const int result = ShowFrame()) {
        CloseMovie();
        ResetMainTitle();
        return result;
    }
    BITMAPINFOHEADER& out = doc->m_OutputHeader;
    reader->GetOutputFormat(&out);
    out.biCompression = BI_RGB;
    out.biClrUsed = 0;
    out.biClrImportant = 0;
    doc->m_ClipRect.right = out.biWidth;
    doc->m_ClipRect.bottom = out.biHeight;
    m_nRangeStart = m_nFirst;
    m_nRangeEnd = m_nCount - 1;
    update();
    ZoomTail();
    LayoutSlider();
    if (m_infoAvi) m_infoAvi->SetInfo(doc->m_InfoLines);
    m_nDeinterlace = doc->m_Info.m_nDeinterlace;
    StopOnError(ApplyDeinterlace());
    return 0;
}

void CTALVERNView::ReleaseMovieWindows() {
    m_player.Release();
    m_shorityu.Release();
    m_bmpInfo.Release();
    m_resize.Release();
}

void CTALVERNView::CloseMovie() {
    if (m_pDocument) m_pDocument->m_nPlayState = PlayState::Stopped;
    ReleaseMovieWindows();
    m_nDeinterlace = 0;
    if (m_pDocument) m_pDocument->ResetContents();
    // An information window left open shows what the document now holds.
    if (m_infoAvi && m_pDocument) m_infoAvi->SetInfo(m_pDocument->m_InfoLines);
    m_nCurrent = -1;
    m_nCount = 0;
    // The reader that owned the source bits is gone with the contents.
    m_pSourceBits = nullptr;
    m_pDisplayBits = nullptr;
    m_nFirst = 0;
    if (m_pSlider) LayoutSlider();
}

void CTALVERNView::OpenPath(const std::wstring& path) {
    // The framework's open asks SaveModified, sets the title and keeps the recent list;
    // without an application (tests of the view alone) the document opens directly.
    if (CWinApp* app = AfxGetApp(); app && app->GetMainWnd())
        app->OpenDocumentFile(path);
    else if (m_pDocument && m_pDocument->SaveModified())
        m_pDocument->OnOpenDocument(path);
    // A refused open keeps the movie that is open and its picture.
    if (IsFileOpen()) return;
    m_pDisplayBits = nullptr;
    update();
}

void CTALVERNView::OnDropFile(const std::wstring& path) { OpenPath(path); }

void CTALVERNView::OnFileOpen() {
    FileDialogRequest request;
    request.filter = L"AVI (*.AVI)|*.avi|" + LoadLangString(50501, 50502);
    request.defaultExt = L"avi";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetUiServices().fileDialog->RunFileDialog(this, request)) return;
    OpenPath(request.path);
}

// ---- Slider ----

void CTALVERNView::LayoutSlider() {
    const int w = width(), h = height();
    m_pSlider->setGeometry(0, std::max(h - kSliderStripHeight, 0), w, std::min(h, kSliderStripHeight));
    m_pSlider->show();
    m_pSlider->SetRange(m_nFirst, std::max(m_nCount - 1, m_nFirst));
    m_pSlider->SetPos(m_nCurrent);
    m_pSlider->SetTicFreq(m_nCount / 10);
    if (m_bRangeMode) m_pSlider->SetSelection(m_nRangeStart, m_nRangeEnd);
    else m_pSlider->SetSelection(0, 0);
    m_pSlider->repaint();
    update(0, std::max(h - kSliderStripHeight, 0), w, kSliderStripHeight);
}

void CTALVERNView::OnHScroll(CSliderSelect::Scroll) {
    // During a run, without a movie, and for keys and the wheel, the slider keeps to
    // the frame shown.
    if (!IsStopped() || !IsFileOpen() || !m_pSlider->IsLeftButtonDown()) {
        m_pSlider->SetPos(m_nCurrent);
        return;
    }
    CWindowGraveyard::Scope running(m_graveyard);
    m_nCurrent = m_pSlider->SetPosFromCursor();
    if (CPlayer* player = m_player.Get()) {
        player->SetStartFrame(m_nCurrent);
        player->PlayFrom();
        player->SetPlaying(TRUE);
    }
    if (const int result = ShowFrame()) StopOnError(result);
    setFocus();
}

// ---- Zoom ----

void CTALVERNView::ZoomTail() {
    update();
    if (!m_pDocument) return;
    BITMAPINFOHEADER& out = m_pDocument->m_OutputHeader;
    // A size that does not fit is left for the writers to compute.
    out.biSizeImage = static_cast<DWORD>(FrameBytes24(out.biWidth, out.biHeight, UINT32_MAX).value_or(0));
}

void CTALVERNView::OnZoom(UINT id) {
    m_dZoom = kZoomPresets[id - ID_ZOOM_25];
    ZoomTail();
}

void CTALVERNView::OnZoomUp() {
    m_dZoom = ZoomByNotches(m_dZoom, 1);
    ZoomTail();
}

void CTALVERNView::OnZoomDown() {
    m_dZoom = ZoomByNotches(m_dZoom, -1);
    ZoomTail();
}

void CTALVERNView::OnDisplayRefresh() { ZoomTail(); }

void CTALVERNView::wheelEvent(QWheelEvent* event) {
    event->accept();
    // Only the vertical wheel zooms; a tilt or a sideways swipe does nothing.
    const int notches = m_wheel.Add(event->angleDelta().y());
    if (notches == 0) return;
    m_dZoom = ZoomByNotches(m_dZoom, notches);
    ZoomTail();
}

// ---- Moving and the range ----

void CTALVERNView::OnMoveTo(UINT id) {
    switch (id) {
        case ID_MOVE_START: m_nCurrent = 0; break;
        case ID_PREV_FRAME: m_nCurrent = m_nCurrent - 1; break;
        case ID_NEXT_FRAME: m_nCurrent = m_nCurrent + 1; break;
        case ID_MOVE_END: m_nCurrent = m_nCount - 1; break;
        case ID_GOTO_RANGE_START: m_nCurrent = m_nRangeStart; break;
        case ID_GOTO_RANGE_END: m_nCurrent = m_nRangeEnd; break;
        default: return;
    }
    if (const int result = ShowFrame()) StopOnError(result);
}

void CTALVERNView::OnSetRangeStart() {
    m_nRangeStart = m_nCurrent;
    LayoutSlider();
}

void CTALVERNView::OnSetRangeEnd() {
    m_nRangeEnd = m_nCurrent;
    LayoutSlider();
}

void CTALVERNView::OnRangeWhole() {
    m_nRangeStart = m_nFirst;
    m_nRangeEnd = m_nCount - 1;
    LayoutSlider();
}

void CTALVERNView::OnRangePlay() {
    m_bRangeMode = !m_bRangeMode;
    if (m_bRangeMode && m_nRangeEnd < m_nRangeStart) {
        m_nRangeStart = m_nFirst;
        m_nRangeEnd = m_nCount - 1;
    }
    update();
    LayoutSlider();
}

// ---- Deinterlace mode ----

void CTALVERNView::OnDeinterlaceMode(UINT id) {
    m_nDeinterlace = static_cast<int>(id - ID_DEINTERLACE_NO);
    StopOnError(ApplyDeinterlace());
    DrawFrame();
}

// ---- Side windows ----

void CTALVERNView::OnShowOriginal() {
    if (m_shorityu) {
        m_shorityu.Release();
        return;
    }
    auto* window = new CShorityu(
        [this](const BYTE** bits, BITMAPINFOHEADER* header) {
            if (!m_pSourceBits || !GetSourceHeader(header)) return false;
            *bits = m_pSourceBits;
            return true;
        },
        ID_VIEWER_CLOSED);
    m_shorityu.Attach(window);
    window->CreatePopup(this, WS_VISIBLE | WS_SYSMENU);
}

void CTALVERNView::OnViewerClosed() { m_shorityu.Release(); }

// ---- Settings ----

void CTALVERNView::OnOutputSettings() {
    if (!m_pDocument) return;
    DoSaveSettingDialog(&m_pDocument->m_Info, this);
    // Shown afresh whether the dialog was confirmed or not.
    RefreshFolderDisplay();
}

int CTALVERNView::PumpMessages() {
    TALVERN_ASSERT_UI_THREAD();
    const int quitting = PumpPendingMessages();
    m_graveyard.Collect();
    return quitting;
}

// ---- Events ----

void CTALVERNView::resizeEvent(QResizeEvent* event) {
    CBaseView::resizeEvent(event);
    LayoutSlider();
}

void CTALVERNView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    const MenuTemplate* menu = FindMenuTemplate(CMainFrame::GetContextMenuId());
    if (!menu || menu->items.size() < 2) return;
    const QRect picture(0, 0, width(), height() - kSliderStripHeight);
    const MenuItem& popup = menu->items[picture.contains(event->pos()) ? 0 : 1];
    QMenu shown(window());
    BuildMenu(&shown, popup.items);
    RefreshCommandActions(shown.actions(), *this);
    const UINT id = CommandIdOf(shown.exec(event->globalPos()));
    // Issued once the menu is gone, through the frame's route, which starts here.
    if (id == 0) return;
    if (CFrameWnd* frame = AfxGetMainWnd()) frame->PostFrameCommand(id);
    else PostCommand(this, *this, id);
}
