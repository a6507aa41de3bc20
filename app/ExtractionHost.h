#pragma once
// What the stream copy and the audio extraction know of the view that starts them:
// where it stands, its questions and the windows they are asked over, and the steps
// of the extraction it follows. The view answers with its position, its strip, its
// stopwatch, the pause and the stop.
#include "app/TALVERNDoc.h"
#include "app/ViewRunHooks.h"

class CWnd;

// The view's position and range when an extraction begins.
struct ViewSpan {
    int current = 0;
    int first = 0;
    int count = 0;
    double rate = 0.0;
    bool rangeMode = false;
    int rangeStart = 0;
    int rangeEnd = 0;
};

class IExtractionHost {
public:
    virtual ~IExtractionHost() = default;
    virtual ViewRunHooks& GetRunHooks() = 0;
    // The questions are asked over the main window; the audio format chooser and the
    // boxes of a copy sit over the view.
    virtual CWnd* MainWindow() = 0;
    virtual CWnd& ViewWindow() = 0;
    // The extraction runs from frame start through end: the position and the range
    // follow it.
    virtual void SpanTaken(int start, int end) = 0;
    // The extraction's time counts from here.
    virtual void ClockStarts() = 0;
    // The extraction has got to frame; the view's position moves there.
    virtual void SetCurrentFrame(int frame) = 0;
    // Between two steps: the strip shows the position and a pause is waited out; false
    // once the user stopped.
    virtual bool MayGoOn() = 0;
};

// The extraction runs: the strip shows "[Make]" and Pause and Stop act on it.
inline void MarkExtractionRunning(CTALVERNDoc& doc) {
    doc.m_nPlayState = PlayState::Playing;
    doc.m_bExtracting = TRUE;
}
