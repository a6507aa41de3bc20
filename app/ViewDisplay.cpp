// Frame display and status strip of the view.
#include <algorithm>
#include <cmath>
#include <QPaintEvent>
#include <cwchar>

#include "app/TALVERNView.h"
#include "app/TALVERNDoc.h"
#include "foundation/LangString.h"
#include "foundation/ResultCodes.h"
#include "platform/ui/DC.h"
#include "platform/win32/ThreadRole.h"

namespace {

// About 31 700 years: far beyond any movie, and every part still prints.
constexpr double kMaxClockSeconds = 1e12;

std::wstring Format(const wchar_t* format, auto... args) {
    wchar_t buf[256];
    const int n = std::swprintf(buf, std::size(buf), format, args...);
    return n < 0 ? std::wstring() : std::wstring(buf, static_cast<size_t>(n));
}

long long LL(int64_t v) { return static_cast<long long>(v); }

}  // namespace

ClockTime SplitSeconds(double seconds) {
    double t = seconds > 0 ? seconds : 0;  // also NaN
    t = std::min(t, kMaxClockSeconds);
    const auto whole = static_cast<int64_t>(t);
    const auto ms = static_cast<int64_t>(t * 1000);
    return {whole / 3600, (whole % 3600) / 60, whole % 60, (ms % 1000) / 10};
}

std::wstring FormatPositionText(int current, int count, double rate) {
    const bool timed = std::isfinite(rate) && rate > 0;
    const ClockTime t = SplitSeconds(timed ? current / rate : 0);
    const ClockTime last = SplitSeconds(timed ? (static_cast<int64_t>(count) - 1) / rate : 0);
    const std::wstring slash = GetMsgSlash();
    return Format(L"%lld%ls%lld (%02lld:%02lld:%02lld.%02lld%ls%02lld:%02lld:%02lld.%02lld)",
                  LL(int64_t{current} + 1), slash.c_str(), LL(count), LL(t.hours), LL(t.minutes),
                  LL(t.seconds), LL(t.hundredths), slash.c_str(), LL(last.hours), LL(last.minutes),
                  LL(last.seconds), LL(last.hundredths));
}

int64_t RemainingSeconds(double elapsedSeconds, int current, int rangeStart, int rangeEnd) {
    const int64_t done = int64_t{current} - rangeStart;
    if (done == 0) return 0;
    const double estimate = elapsedSeconds * static_cast<double>(int64_t{rangeEnd} - current) / done;
    if (!(estimate > 0)) return 0;
    return static_cast<int64_t>(std::min(estimate, kMaxClockSeconds));
}

std::wstring FormatRangeText(int current, int rangeStart, int rangeEnd, DWORD elapsedMs) {
    const double elapsed = elapsedMs / 1000.0;
    const ClockTime e = SplitSeconds(elapsed);
    const ClockTime r = SplitSeconds(static_cast<double>(RemainingSeconds(elapsed, current, rangeStart, rangeEnd)));
    const std::wstring slash = GetMsgSlash();
    return Format(L"%lld%ls%lld (%02lld:%02lld:%02lld%ls%02lld:%02lld:%02lld)",
                  LL(int64_t{current} - rangeStart + 1), slash.c_str(), LL(int64_t{rangeEnd} - rangeStart + 1),
                  LL(e.hours), LL(e.minutes), LL(e.seconds), slash.c_str(), LL(r.hours), LL(r.minutes),
                  LL(r.seconds));
}

StripBox StripBoxFor(StripState state) {
    switch (state) {
        case StripState::Pause:
            return {GetMsgPause(), RGB(255, 0, 255)};
        case StripState::Stop:
            return {GetMsgStop(), RGB(0, 255, 255)};
        case StripState::Play:
            return {GetMsgPlay(), RGB(255, 255, 0)};
        case StripState::Make:
            return {GetMsgMake(), RGB(255, 0, 0)};
        case StripState::OnePass:
            return {GetMsgOnePass(), RGB(255, 0, 0)};
    }
    return {GetMsgStop(), RGB(0, 255, 255)};
}

bool ShouldDrawFrame(bool playing, int frame, int interval) {
    if (!playing) return true;
    const int k = std::max(interval, 1);
    return frame % k == k - 1;
}

bool ShouldDrawStatus(bool playing, int frame, int interval) {
    return ShouldDrawFrame(playing, frame, std::min(std::max(interval, 1), 30));
}

RECT PictureRect(int outputWidth, int outputHeight, double zoom) {
    if (outputWidth <= 0 || outputHeight <= 0) return RECT{kPictureLeft, kPictureTop, kPictureLeft, kPictureTop};
    // With the zoom bounded and the sizes taken in 64 bits nothing overflows; the
    // bound only keeps the rectangle's edges inside an int.
    constexpr double kMaxSide = 1 << 30;
    const double z = ClampZoom(zoom);
    const auto w = static_cast<LONG>(std::min(std::trunc(outputWidth * z), kMaxSide));
    const auto h = static_cast<LONG>(std::min(std::trunc(outputHeight * z), kMaxSide));
    return RECT{kPictureLeft, kPictureTop, kPictureLeft + w, kPictureTop + h};
}

// ---- The view's display ----

RECT CTALVERNView::GetPictureRect() const {
    if (!m_pDocument) return PictureRect(0, 0, m_dZoom);
    const BITMAPINFOHEADER& out = m_pDocument->m_OutputHeader;
    return PictureRect(out.biWidth, out.biHeight, m_dZoom);
}

RECT CTALVERNView::GetStripRect() const { return RECT{kStateBox.left, kStateBox.top, kRangeBox.right, kRangeBox.bottom}; }

int CTALVERNView::ShowFrame() {
    TALVERN_ASSERT_UI_THREAD();
    CDecMovie* reader = m_pDocument ? m_pDocument->m_Reader.Get() : nullptr;
    if (!reader) return ResultCode::kFailed;
    m_nCurrent = MovieFrame(m_nCurrent);
    void* bits = nullptr;
    // A reader that claims success without bits has not delivered the frame either.
    if (reader->GetFrame(m_nCurrent, &bits) == -1 || !bits) return ResultCode::kFailed;
    m_pSourceBits = static_cast<BYTE*>(bits);
    m_pSlider->SetPos(m_nCurrent);
    // A filter that fails ends a run at its next poll; the plain frame is shown and output.
    StopOnError(ApplyDeinterlace());
    const bool playing = GetPlayState() == PlayState::Playing;
    const int interval = m_pDocument->m_nDisplayInterval;
    if (ShouldDrawFrame(playing, m_nCurrent, interval)) DrawFrame();
    if (ShouldDrawStatus(playing, m_nCurrent, interval)) DrawStatus();
    return 0;
}

int CTALVERNView::ShowFrameAt(int frame) {
    m_nCurrent = frame;
    return ShowFrame();
}

int CTALVERNView::MovieFrame(int frame) const { return std::clamp(frame, m_nFirst, std::max(m_nCount - 1, m_nFirst)); }

void CTALVERNView::DrawFrame() {
    const RECT r = GetPictureRect();
    const QRect region = ToQRect(r).intersected(rect());
    if (!region.isEmpty()) repaint(region);
}

void CTALVERNView::DrawStatus() {
    if (m_nCount > 0) m_nCurrent = std::clamp(m_nCurrent, 0, m_nCount - 1);
    repaint(ToQRect(GetStripRect()));
    m_pSlider->SetPos(m_nCurrent);
}

void CTALVERNView::paintEvent(QPaintEvent* event) {
    m_paintClip = event->rect();
    CBaseView::paintEvent(event);
}

namespace {

// Fills box but for the part hole covers (hole lies inside box or is empty): the
// bands above and below it and the pieces left and right of it.
void FillAround(CDC& dc, const RECT& box, const RECT& hole, COLORREF colour) {
    if (hole.right <= hole.left || hole.bottom <= hole.top) {
        dc.FillSolidRect(box, colour);
        return;
    }
    dc.FillSolidRect({box.left, box.top, box.right, hole.top}, colour);
    dc.FillSolidRect({box.left, hole.bottom, box.right, box.bottom}, colour);
    dc.FillSolidRect({box.left, hole.top, hole.left, hole.bottom}, colour);
    dc.FillSolidRect({hole.right, hole.top, box.right, hole.bottom}, colour);
}

}  // namespace

void CTALVERNView::OnDraw(CDC* pDC) {
    const RECT clipBox = FromQRect(m_paintClip);
    // The grey background goes only where the picture does not: filling under a
    // picture of most of the window would cost a frame as much as copying it.
    const RECT picture = IsFileOpen() ? PaintPicture(*pDC, clipBox) : RECT{};
    FillAround(*pDC, clipBox, picture, RGB(128, 128, 128));
    if (!IsFileOpen()) return;
    PaintStatus(*pDC);
}

RECT CTALVERNView::PaintPicture(CDC& dc, const RECT& clipBox) {
    BITMAPINFOHEADER frame{};
    if (!m_pDisplayBits || !GetSourceHeader(&frame) || frame.biWidth <= 0 || frame.biHeight <= 0) return {};
    // The clip rectangle is the settings dialog's; only its part inside the frame is drawn.
    const RECT& c = m_pDocument->m_ClipRect;
    const RECT source{std::max<LONG>(c.left, 0), std::max<LONG>(c.top, 0), std::min(c.right, frame.biWidth),
                      std::min(c.bottom, frame.biHeight)};
    // A paint that shows some of the picture makes all of it above the slider strip at
    // once, so that painting another part of it again only copies pixels; the strip's
    // own paints make nothing.
    const RECT picture = GetPictureRect();
    const RECT above{0, 0, width(), height() - kSliderStripHeight};
    const QRect shown = ToQRect(picture).intersected(ToQRect(above)).intersected(ToQRect(clipBox));
    if (shown.isEmpty()) return {};
    m_picture.Render(m_pDisplayBits, frame.biWidth, frame.biHeight, source, picture, above);
    const RECT& a = m_picture.Area();
    const QRect r = shown.intersected(ToQRect(a));
    if (r.isEmpty()) return {};
    dc.BitBlt(r.x(), r.y(), r.width(), r.height(), &m_picture, r.x() - a.left, r.y() - a.top, SRCCOPY);
    return FromQRect(r);
}

StripState CTALVERNView::CurrentStripState() {
    switch (GetPlayState()) {
        case PlayState::Paused: return StripState::Pause;
        case PlayState::Playing: break;
        default: return StripState::Stop;
    }
    if (!m_pDocument->IsAnyOutputOn() && !m_pDocument->m_bExtracting) return StripState::Play;
    // Only a run's WMV output has an analysis pass; the writer's flag may outlive one.
    const bool analysis = !m_pDocument->m_bExtracting && m_pDocument->m_bOutputWmv && m_run.Wmv().IsTwoPass();
    return analysis ? StripState::OnePass : StripState::Make;
}

void CTALVERNView::PaintStatus(CDC& dc) {
    const int current = m_nCount > 0 ? std::clamp(m_nCurrent, 0, m_nCount - 1) : m_nCurrent;
    constexpr UINT kFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.FillSolidRect(kPositionBox, RGB(0, 255, 0));
    dc.DrawText(FormatPositionText(current, m_nCount, m_dRate), kPositionBox, kFormat);
    const StripBox state = StripBoxFor(CurrentStripState());
    dc.FillSolidRect(kStateBox, state.colour);
    dc.DrawText(state.text, kStateBox, kFormat);
    if (!m_bRangeMode) return;
    const std::wstring range = IsStopped() ? GetMsgRangeSelected()
                                           : FormatRangeText(current, m_nRangeStart, m_nRangeEnd,
                                                             m_stopwatch.GetTotal());
    dc.FillSolidRect(kRangeBox, state.colour);
    dc.DrawText(range, kRangeBox, kFormat);
}
