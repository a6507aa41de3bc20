#pragma once
// The main view: the current frame of the open movie, zoomed, under a status strip
// and above the frame slider, and every command that works on the movie.
//
// Drawing follows one rule: the picture, the strip and the slider are painted from
// the view's fields by OnDraw; "draw now" (DrawFrame, DrawStatus) changes what
// those fields say and repaints that region at once.
#include <cstdint>
#include <string>

#include "app/MovieViewOps.h"
#include "app/Player.h"
#include "app/Shorityu.h"
#include "app/TALVERNDoc.h"
#include "foundation/MemBuffBase.h"
#include "foundation/MemBuffClassBase.h"
#include "foundation/TimeMmanager.h"
#include "image/IOdataE.h"
#include "platform/win32/Win32Types.h"
#include "toolkit/BaseView.h"
#include "toolkit/SliderSelect.h"
#include "toolkit/WindowHolder.h"
#include "writers/EncAVI2.h"
#include "writers/EncWMV.h"

class QMenu;

// ---- Geometry and texts of the display, free of any window ----

// Bytes of one 24-bit row of width w, padded to 4 bytes.
int Stride24(int width);

// Client-area layout, in pixels.
inline constexpr RECT kStateBox{10, 3, 110, 22};
inline constexpr RECT kPositionBox{115, 3, 435, 22};
inline constexpr RECT kRangeBox{440, 3, 730, 22};
inline constexpr int kPictureLeft = 10;
inline constexpr int kPictureTop = 25;
inline constexpr int kSliderStripHeight = 30;

// Hours, minutes, seconds and hundredths of a time in seconds; anything that is not a
// finite non-negative time reads as 0, and very long times stop at a bound that
// still prints.
struct ClockTime {
    int64_t hours = 0, minutes = 0, seconds = 0, hundredths = 0;
};
ClockTime SplitSeconds(double seconds);

// "1/300 (00:00:00.00/00:00:09.96)": position, count, time of the frame, time of the
// last frame. A rate that is not positive gives zero times.
std::wstring FormatPositionText(int current, int count, double rate);
// Seconds still to go in a range, estimated from the frames done so far; never
// below 0, 0 before the first frame after the start is done.
int64_t RemainingSeconds(double elapsedSeconds, int current, int rangeStart, int rangeEnd);
// "3/10 (00:00:01/00:00:03)": frames of the range done, its length, elapsed, remaining.
std::wstring FormatRangeText(int current, int rangeStart, int rangeEnd, DWORD elapsedMs);

// What the state box shows.
enum class StripState { Pause, Stop, Play, Make, OnePass };
struct StripBox {
    std::wstring text;
    COLORREF colour;
};
StripBox StripBoxFor(StripState state);

// The display interval: while a run plays, the picture is drawn only on frames where
// frame mod interval is interval - 1, the strip where the same holds for
// min(interval, 30); otherwise every time.
bool ShouldDrawFrame(bool playing, int frame, int interval);
bool ShouldDrawStatus(bool playing, int frame, int interval);

// The zoom is kept between 1/64 and 64, so that no picture size can overflow.
inline constexpr double kMinZoom = 1.0 / 64;
inline constexpr double kMaxZoom = 64.0;
double ClampZoom(double zoom);
// Doubles for each positive notch, halves for each negative one.
double ZoomByNotches(double zoom, int notches);

// Whole wheel notches (120 units each) out of deltas that may come in fractions, as
// touchpads send them; the rest waits for the next delta.
class CWheelNotches {
public:
    int Add(int delta);

private:
    int64_t m_rest = 0;
};

// The frame picture on screen: output width x zoom by output height x zoom at
// (10, 25), sizes truncated; empty when nothing can be drawn.
RECT PictureRect(int outputWidth, int outputHeight, double zoom);

// The part of the picture that lies in visible, and the source pixels that fill it
// (source in top-down picture coordinates). Only whole source pixels are taken, and
// the destination is their exact place in the full picture.
struct FramePiece {
    RECT dst{};
    RECT src{};
    bool empty = true;
};
FramePiece VisibleFramePiece(const RECT& picture, const RECT& source, const RECT& visible);

// ---- The view ----

class CTALVERNView : public CBaseView, public IMovieViewOps {
public:
    explicit CTALVERNView(QWidget* parent = nullptr);
    ~CTALVERNView() override;

    void SetDocument(CTALVERNDoc* doc) { m_pDocument = doc; }
    CTALVERNDoc* GetDocument() const { return m_pDocument; }

    void OnInitialUpdate() override;
    void OnDraw(CDC* pDC) override;
    void OnDropFile(const std::wstring& path) override;

    // The document's view operations.
    int InitAfterOpen() override;
    void CloseMovie() override;

    // Slider range, position, ticks and selection from the movie and the range.
    void LayoutSlider();
    // Opens path through the framework's open path (which asks SaveModified).
    void OpenPath(const std::wstring& path);
    // The output folder and JPEG quality in the main frame's status bar.
    void RefreshFolderDisplay();

    // Reads the current frame (clamped into the movie), deinterlaces it and draws it
    // as the display interval allows; 0, or -1 when the reader does not deliver it.
    int ShowFrame();
    // Draw now: the picture, and the strip with the slider's position.
    virtual void DrawFrame();
    virtual void DrawStatus();

    // The frame on screen from the frame read: the source bits, or their deinterlaced copy.
    void ApplyDeinterlace();
    // The output is the source frame unchanged (size and clip).
    BOOL IsIdentityClip();
    // Shows the message box of a result code and stops any run; 0 and -2 show nothing.
    void ReportError(int code);
    // One round of the message pump for the long loops: drains the queue, then
    // deletes the side windows released meanwhile. 1 when the application quits.
    int PumpMessages();

    // The model the view paints from.
    int GetCurrentFrame() const { return m_nCurrent; }
    void SetCurrentFrame(int frame) { m_nCurrent = frame; }
    int GetFirstFrame() const { return m_nFirst; }
    int GetFrameCount() const { return m_nCount; }
    double GetFrameRate() const { return m_dRate; }
    int GetRangeStart() const { return m_nRangeStart; }
    int GetRangeEnd() const { return m_nRangeEnd; }
    BOOL IsRangeMode() const { return m_bRangeMode; }
    double GetZoom() const { return m_dZoom; }
    int GetDeinterlaceMode() const { return m_nDeinterlace; }
    const BYTE* GetSourceBits() const { return m_pSourceBits; }
    const BYTE* GetDisplayBits() const { return m_pDisplayBits; }
    CSliderSelect* GetSlider() const { return m_pSlider; }
    CShorityu* GetSourcePictureWindow() const { return m_shorityu.Get(); }
    CPlayer* GetPlayerWindow() const { return m_player.Get(); }
    CTimeMmanager& GetStopwatch() { return m_stopwatch; }
    // The reader's frame header; false without a movie.
    bool GetSourceHeader(BITMAPINFOHEADER* out) const;
    // The picture region and the strip region of the client area.
    RECT GetPictureRect() const;
    RECT GetStripRect() const;

    // Command handlers.
    void OnFileOpen();
    void OnZoom(UINT id);
    void OnZoomUp();
    void OnZoomDown();
    void OnDisplayRefresh();
    void OnMoveTo(UINT id);
    void OnSetRangeStart();
    void OnSetRangeEnd();
    void OnRangeWhole();
    void OnRangePlay();
    void OnDeinterlaceMode(UINT id);
    void OnShowOriginal();
    void OnViewerClosed();
    void OnOutputSettings();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void RegisterCommands();
    void RegisterUpdateRules();
    // Registers a handler that counts as one of the view's handlers on the stack.
    template <typename F>
    void Command(UINT first, UINT last, F handler);

    bool IsFileOpen() const;
    PlayState GetPlayState() const;
    bool IsStopped() const;
    void ZoomTail();
    void OnHScroll(CSliderSelect::Scroll what);
    void ReleaseMovieWindows();
    void PaintPicture(CDC& dc, const RECT& clipBox);
    void PaintStatus(CDC& dc);
    StripState CurrentStripState();
    void ResetMainTitle();

    CTALVERNDoc* m_pDocument = nullptr;
    QRect m_paintClip;

    CMemBuffClassBaseConst<CIOdataE> m_pipeline;
    CMemBuffClassBaseConst<CEncWMVWMA> m_wmv;
    CMemBuffClassBaseConst<CEncAVI2> m_avi;
    CMemBuffBase<unsigned char> m_silence;
    double m_dZoom = 1.0;
    CWheelNotches m_wheel;

    // Declared before the holders: it outlives them and deletes what they release.
    CWindowGraveyard m_graveyard;
    CWindowHolder<QWidget> m_infoAvi{m_graveyard};
    CWindowHolder<CPlayer> m_player{m_graveyard};
    CWindowHolder<QWidget> m_bmpInfo{m_graveyard};
    CWindowHolder<QWidget> m_resize{m_graveyard};
    CWindowHolder<CShorityu> m_shorityu{m_graveyard};

    CSliderSelect* m_pSlider = nullptr;
    BYTE* m_pSourceBits = nullptr;
    BYTE* m_pDisplayBits = nullptr;
    int m_nFirst = 0;
    int m_nCurrent = -1;
    int m_nCount = 0;
    double m_dRate = 0.0;
    int m_nRangeStart = 0;
    int m_nRangeEnd = 0;
    BOOL m_bRangeMode = FALSE;
    CTimeMmanager m_stopwatch;
    int m_nDeinterlace = 0;
    CMemBuffBase<unsigned char> m_deinterlaced;
    BOOL m_bPlainFrame = TRUE;
    CMemBuffBase<unsigned char> m_output;
    int m_nAudioChoice = 0;
};
