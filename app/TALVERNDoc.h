#pragma once
// CTALVERNDoc: the single document. It owns the open movie's reader, the output
// settings, the six output switches with the two movie output paths, the play state
// every long loop of the view polls, the display interval, the output image header
// and clip rectangle, and twenty text lines for the AVI information window.
// Nothing is ever saved as a document: the modified flag means "a conversion run or
// an extraction is under way", so SaveModified can refuse a close or another open.
#include <cstdint>
#include <string>
#include <vector>

#include "app/Info.h"
#include "foundation/MemBuffClassBase.h"
#include "platform/ui/Document.h"
#include "platform/win32/Win32Types.h"
#include "readers/DecMovie.h"

class CDecAVIAudioComp;
class IMovieViewOps;

// Written by the view's commands, read by every long loop; Stopped written from
// outside a loop is also its stop request.
enum class PlayState : int32_t { Playing = 0, Paused = 3, Stopped = 5 };

class CTALVERNDoc : public CDocument {
public:
    static constexpr int kInfoLineCount = 20;

    // Marks the document busy (modified) for the life of a conversion run or an
    // extraction, so that no open, drop, recent file or close takes the movie away
    // under its dialogs and loops. At the end the document is idle again, whatever
    // happened: not modified, Stopped, not extracting.
    class BusyScope {
    public:
        explicit BusyScope(CTALVERNDoc& doc);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        CTALVERNDoc& m_doc;
    };

    CTALVERNDoc();
    ~CTALVERNDoc() override;

    // After the base step, tries CDecAVIAudioComp, then CDecDVAVI, each after the
    // view's CloseMovie; a try fails on a non-zero Open, on a reader whose rate,
    // frame count or size cannot be used, or when the view cannot show frame 0.
    // The first failure is silent; when both fail the user is told and no movie is
    // open.
    BOOL OnOpenDocument(const std::wstring& path) override;
    // While busy (modified): asks "Stop?" when an output or an extraction is running,
    // else stops at once; refuses the close or open in every busy case.
    BOOL SaveModified() override;

    // Clip rectangle, the six switches, the extraction flag, the path and both stream
    // headers cleared; the reader released.
    void ResetContents();
    // The open reader when it is an AVI reader with decoded audio, the one a combined
    // reader holds for its audio, else null.
    CDecAVIAudioComp* GetAudioReader() const;
    // Any of the AVI, WMV, BMP, JPG, TIF and PNG switches (not the extraction flag).
    BOOL IsAnyOutputOn() const;
    BOOL IsMovieOpen() const { return GetPathName().empty() ? FALSE : TRUE; }
    void FillVideoInfo();
    void FillAudioInfo();

    // Output switches and preview interval (menus "Output Setting" and "Preview").
    void OnOutputJpg();
    void OnOutputBmp();
    void OnOutputAvi();
    void OnOutputWmv();
    void OnOutputTif();
    void OnOutputPng();
    void OnPreviewNone();
    void OnPreviewThin();
    void OnPreviewAll();
    void OnUpdateOutputJpg(CCmdUI& ui);
    void OnUpdateOutputBmp(CCmdUI& ui);
    void OnUpdateOutputAvi(CCmdUI& ui);
    void OnUpdateOutputWmv(CCmdUI& ui);
    void OnUpdateOutputTif(CCmdUI& ui);
    void OnUpdateOutputPng(CCmdUI& ui);
    void OnUpdatePreviewNone(CCmdUI& ui);
    void OnUpdatePreviewThin(CCmdUI& ui);
    void OnUpdatePreviewAll(CCmdUI& ui);

    CInfo m_Info;                           // loads the profile now, saves it when destroyed
    std::vector<std::wstring> m_InfoLines;  // kInfoLineCount lines for the information window
    CMemBuffClassBase<CDecMovie> m_Reader;  // empty when no movie is open
    BITMAPINFOHEADER m_OutputHeader{};      // every output image; set by the view at open
    RECT m_ClipRect{};                      // source pixels taken for output
    PlayState m_nPlayState = PlayState::Stopped;
    int m_nDisplayInterval = 1;  // one repaint per that many frames: 1, 30, 10000
    BOOL m_bOutputAvi = FALSE;
    std::wstring m_strAviOutputPath;  // set by the run
    BOOL m_bOutputWmv = FALSE;
    std::wstring m_strWmvOutputPath;  // set by the run
    BOOL m_bOutputBmp = FALSE;
    BOOL m_bOutputJpg = FALSE;
    BOOL m_bOutputTif = FALSE;
    BOOL m_bOutputPng = FALSE;
    BOOL m_bExtracting = FALSE;          // a stream copy or audio extraction runs
    AVISTREAMINFOW m_VideoStreamInfo{};  // copied at open
    AVISTREAMINFOW m_AudioStreamInfo{};  // copied at open when there is audio

protected:
    static constexpr int kReaderCount = 2;
    // Reader number attempt (0, 1) of the open order, newly built; null when it
    // cannot be built.
    virtual CDecMovie* NewReader(int attempt) const;

private:
    void RegisterCommands();
    void ResetInfoLines();
    void CloseMovie(IMovieViewOps* view);
    bool TryReader(int attempt, const std::wstring& path, IMovieViewOps* view);
    void ToggleOutput(BOOL& output);
    void UpdateOutput(CCmdUI& ui, BOOL output) const;
    void CheckInterval(CCmdUI& ui, int interval) const;
    void SetInfoLine(int line, const std::wstring& text);
};
