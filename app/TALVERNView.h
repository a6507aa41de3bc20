#pragma once
// The main view: the current frame of the open movie, zoomed, under a status strip
// and above the frame slider, and every command that works on the movie.
//
// Drawing follows one rule: the picture, the strip and the slider are painted from
// the view's fields by OnDraw; "draw now" (DrawFrame, DrawStatus) changes what
// those fields say and repaints that region at once.
#include <cstdint>
#include <string>

#include "app/ConversionRun.h"
#include "app/ExtractionHost.h"
#include "app/MovieViewOps.h"
#include "app/Player.h"
#include "app/Shorityu.h"
#include "app/TALVERNDoc.h"
#include "app/ViewRunHooks.h"
#include "dialogs/BmpInfo.h"
#include "dialogs/InfoAVIDlg.h"
#include "dialogs/Launchers.h"
#include "dialogs/ResizeDlg.h"
#include "foundation/MemBuffBase.h"
#include "foundation/MemBuffClassBase.h"
#include "foundation/ResultCodes.h"
#include "foundation/TimeMmanager.h"
#include "image/IOdataE.h"
#include "image/ImageFileWorker.h"
#include "image/ResImgFile.h"
#include "platform/ui/FrameDC.h"
#include "platform/win32/Win32Types.h"
#include "toolkit/BaseView.h"
#include "toolkit/SliderSelect.h"
#include "toolkit/WindowHolder.h"
#include "writers/EncAVI2.h"
#include "writers/EncWMV.h"

class QMenu;

// ---- Geometry and texts of the display, free of any window ----

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

// ---- Output files ----

// The name a still image is saved under: path itself when it has an extension (one
// that names no image format fails when written), else, and when it is the name
// offered unchanged, path with the extension of the save dialog's filter (1 JPG,
// 2 BMP, 3 TIF, 4 PNG; any other index counts as JPG).
std::wstring WithImageExtension(const std::wstring& path, int filterIndex, const std::wstring& offered);

// ---- The view ----

class CTALVERNView : public CBaseView, public IMovieViewOps, private IExtractionHost {
public:
    explicit CTALVERNView(QWidget* parent = nullptr);
    ~CTALVERNView() override;

    void SetDocument(CTALVERNDoc* doc) { m_pDocument = doc; }
    CTALVERNDoc* GetDocument() const { return m_pDocument; }

    void OnInitialUpdate() override;
    void OnDraw(CDC* pDC) override;
    void OnDropFile(const std::wstring& path) override;

    // The document's view operations.
    [[nodiscard]] int InitAfterOpen() override;
    void CloseMovie() override;

    // Slider range, position, ticks and selection from the movie and the range.
    void LayoutSlider();
    // Opens path through the framework's open path (which asks SaveModified).
    void OpenPath(const std::wstring& path);
    // The output folder and JPEG quality in the main frame's status bar.
    void RefreshFolderDisplay();

    // Reads the current frame (clamped into the movie), deinterlaces it and draws it
    // as the display interval allows; 0, or -1 when the reader does not deliver it.
    [[nodiscard]] int ShowFrame();
    // The same for frame, which becomes the current frame: how a loop that runs over
    // the frames tells the view which one to show.
    [[nodiscard]] int ShowFrameAt(int frame);
    // Draw now: the picture, and the strip with the slider's position.
    virtual void DrawFrame();
    virtual void DrawStatus();

    // The frame on screen from the frame read: the source bits, or their deinterlaced
    // copy. 0, or 501 when the filter had no memory: the plain frame is shown then and the
    // mode is switched off.
    [[nodiscard]] int ApplyDeinterlace();
    // The output is the source frame unchanged (size and clip).
    BOOL IsIdentityClip();
    // Shows the message box of a result code; 0 and -2 show nothing. False then.
    bool ReportError(int code);
    // A failure that ends whatever runs: a run stops at its next poll, the movie
    // information window closes, the code is reported and the settings learn from it
    // (the two-pass WMV codes). 0 and -2 do nothing.
    void StopOnError(int code);

    // The conversion run: Play starts it (or resumes a paused one), Pause toggles,
    // Stop ends it after the frame in hand.
    void OnPlay();
    void OnPause();
    void OnStop();
    // Asks every question of the outputs that are on, then creates them; 0, -2 when
    // the user cancelled, or an error code. Nothing is created or deleted on disk
    // before the last question is answered.
    [[nodiscard]] int PrepareOutputs();
    // One pass over the frames from first (clamped into the movie); 0 at the last frame
    // or on a stop request, else the first error code. *reached: the last frame shown.
    [[nodiscard]] int PlayLoop(int first, int* reached);
    // The frames of the pass; PlayLoop then waits for the files they left to the worker.
    [[nodiscard]] int PlayFrames(int first, int* reached);
    // Drains the queue, then keeps draining every 100 ms while paused, once the outputs
    // of the frame shown are complete. A quit met here ends the run as a Stop would. 0,
    // or the code of a frame whose outputs failed.
    [[nodiscard]] int WaitWhilePaused();
    // Waits, pumping messages, for the frames handed to the worker. 0, or the code of the
    // first that failed (502 for an image file, 2006 for a movie frame, the writer's code
    // for its audio); that frame is then shown again, as when the run writes in line.
    [[nodiscard]] int FinishWorkerFrames();
    // One round of the pump while the run waits for its outputs; a quit stops the run.
    void PumpRunMessages();
    // Outputs beside the run where they can be (the default) or all in line with it;
    // the files are the same.
    void SetOutputsBesideRun(bool beside) { m_run.SetOutputsBeside(beside); }
    // Per frame of a pass (n counts from 1): the output frame made from the frame on
    // screen, which is frame, then the run's outputs for it (CConversionRun::OutputFrame);
    // 0 or an error code, told over the frame that failed.
    [[nodiscard]] int OutputFrame(int frame, int n);
    // The audio that belongs to the frame just output, written in line; 0 or an error code.
    [[nodiscard]] int OutputAudioForFrame() { return m_run.OutputAudioForFrame(); }
    // One still image in the format of the path's extension, with the settings' JPEG quality.
    BOOL WriteImageFile(const BYTE* bits, const BITMAPINFOHEADER* header, const std::wstring& path);
    // The processed frame on screen into a file chosen in a save dialog, or onto the clipboard.
    void OnSaveImage();
    void OnEditCopy();
    ViewRunHooks& GetRunHooks() override { return m_runHooks; }
    // The compressed video from a key frame through the last frame of the movie or the
    // range into "Copy_<title>.avi", with its audio left out, recompressed or copied
    // (CStreamCopy); a failure is reported.
    void OnExtractVideoStream();
    // The audio from the current frame (or of the range) into "<title>_audio.wav",
    // recompressed with the volume applied or copied as it is (CAudioExtraction).
    void OnExtractAudioStream();
    // One round of the message pump for the long loops: drains the queue, then
    // deletes the side windows released meanwhile. 1 when the application quits.
    int PumpMessages();

    // The model the view paints from.
    int GetCurrentFrame() const { return m_nCurrent; }
    void SetCurrentFrame(int frame) override { m_nCurrent = frame; }
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
    CInfoAVIDlg* GetMovieInfoWindow() const { return m_infoAvi.Get(); }
    CBmpInfo* GetFrameHeaderWindow() const { return m_bmpInfo.Get(); }
    CResizeDlg* GetClipResizeWindow() const { return m_resize.Get(); }
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
    // The movie information, frame header and clipping windows: each command opens its
    // window or, when it is open, closes it.
    void OnFileInfo();
    void OnBmpInfo();
    void OnClipResize();
    // The movie player window: open or close it, pause or resume it, send it to the
    // first or the last frame, and let go of it when its close box asks (it sends
    // ID_PLAYER_CLOSED).
    void OnPlayerToggle();
    void OnPlayerPause();
    void OnPlayerFirst();
    void OnPlayerLast();
    void OnPlayerClosed();
    void OnUpdatePlayerToggle(CCmdUI& ui);
    void OnUpdatePlayerPause(CCmdUI& ui);
    void OnUpdatePlayerFirstLast(CCmdUI& ui);

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
    // Copies the picture into the part of clipBox it covers; returns that part.
    RECT PaintPicture(CDC& dc, const RECT& clipBox);
    void PaintStatus(CDC& dc);
    StripState CurrentStripState();
    void ResetMainTitle();

    // The conversion run's steps.
    CWnd* MainWindow() override;
    CDecAVIAudioComp* AudioSource() const;
    bool NeedsPcm() const;
    [[nodiscard]] int StartAudioAt(int sample);
    void ChooseStartFrame();
    [[nodiscard]] int AskOutputQuestions();
    [[nodiscard]] int CreateOutputs();
    // The passes of the run from the range start; *reached: where the last one ended.
    [[nodiscard]] int RunPasses(int startSample, int* reached);
    void FinishRun(bool failed);
    // After a command threw: a run still looping is told to stop and closes its files
    // itself; the files of a run the exception ended are closed here.
    void AbandonRun();
    void AnnounceSaved(const std::wstring& path);
    // A frame the worker failed on is shown again, so that its failure is told over it.
    void ShowFailedFrame();
    // frame kept inside the movie, as the current frame is.
    int MovieFrame(int frame) const;

    // What the stream copy and the audio extraction ask of the view.
    ViewSpan ExtractionSpan() const;
    CWnd& ViewWindow() override { return *this; }
    void SpanTaken(int start, int end) override;
    void ClockStarts() override;
    bool MayGoOn() override;

    CTALVERNDoc* m_pDocument = nullptr;
    QRect m_paintClip;
    // The picture as the window shows it, made once per shown frame.
    CFrameDC m_picture;

    CMemBuffClassBaseConst<CIOdataE> m_pipeline;
    double m_dZoom = 1.0;
    CWheelNotches m_wheel;

    // Declared before the holders: it outlives them and deletes what they release.
    CWindowGraveyard m_graveyard;
    CWindowHolder<CInfoAVIDlg> m_infoAvi{m_graveyard};
    CWindowHolder<CPlayer> m_player{m_graveyard};
    CWindowHolder<CBmpInfo> m_bmpInfo{m_graveyard};
    CWindowHolder<CResizeDlg> m_resize{m_graveyard};
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

    ViewRunHooks m_runHooks;
    // The conversion run's outputs, kept from one run to the next for their buffers.
    CConversionRun m_run;
};
