#pragma once
// The outputs of one conversion run: its movie writers, the image file worker and the
// frames in flight on it, the audio owed to the movie files, the names of a frame's
// image files and the buffers they all keep. The view runs the frames and hands each
// one over (OutputFrame); the run writes it in line or through the worker, whose
// threads reach the run only through its frame writer below, never the view.
//
// Threads: everything public runs on the UI thread. The frame writer's steps
// (PrepareFrame, WriteFrame, WriteFrameAudio and the writes under them) run on the
// worker's threads while frames are in flight, and on the UI thread in line; the
// writers and the audio bookkeeping are the worker's from a frame's hand-over until
// FinishWorkerFrames (or the in-line audio's wait) has seen every frame finished.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "foundation/MemBuffBase.h"
#include "foundation/MemBuffClassBase.h"
#include "image/ImageFileWorker.h"
#include "image/ResImgFile.h"
#include "platform/win32/Win32Types.h"
#include "writers/AudioDue.h"
#include "writers/EncAVI2.h"
#include "writers/EncWMV.h"

class CTALVERNDoc;
class CDecAVIAudioComp;

// Zero bytes of the silent audio a frame adds to a WMV file of a movie without audio:
// 48000 Hz, 16 bits, 2 channels, rounded up to whole 4-byte samples.
int64_t SilenceBytesPerFrame(double rate);

class CConversionRun : private CImageFileWorker::FrameWriter, private CImageFileWorker::FrameSource {
public:
    // A frame of the pass as it travels from step to step: its index in the movie and
    // its 24-bit output rows (valid until the next frame is read).
    struct Frame {
        int index;
        const BYTE* bits;
    };
    // What a pass works from, fixed when it begins.
    struct Pass {
        const CTALVERNDoc* doc = nullptr;
        CDecAVIAudioComp* audio = nullptr;  // the source's audio, or null
        double rate = 0.0;
        // The output frame is the frame on screen unchanged (size and clip).
        bool plainFrame = true;
        // One round of the message pump while the run waits for the worker.
        std::function<void()> pump;
    };

    CConversionRun() = default;
    CConversionRun(const CConversionRun&) = delete;
    CConversionRun& operator=(const CConversionRun&) = delete;

    CEncAVI2& Avi() { return *m_avi.operator->(); }
    CEncWMVWMA& Wmv() { return *m_wmv.operator->(); }
    // kAudioNone, kAudioRecompress or kAudioCopy: what the AVI file does with the audio.
    int& AudioChoice() { return m_nAudioChoice; }
    int AudioChoice() const { return m_nAudioChoice; }
    // What preparing the audio decoder answered for this run (0, 501 or 911).
    int& PcmResult() { return m_nPcmResult; }
    // The output header the movie writers were opened with.
    void SetWriterHeader(const BITMAPINFOHEADER& header) { m_writerHeader = header; }
    // Outputs beside the run (the default) or all in line with it; the files are the same.
    void SetOutputsBeside(bool beside) { m_bOutputsBeside = beside; }

    // The buffer a resized frame goes into, sized for the document's output header;
    // 0, 501, or 502 when the writers were opened with another frame size.
    [[nodiscard]] int PrepareOutputBuffer(const CTALVERNDoc& doc);
    // Where the frame about to be output is resized into: with the outputs beside the
    // run, the place the worker takes it from (waiting, pumping, for one to be free), so
    // that handing it over copies nothing; else, or without memory, that buffer.
    BYTE* OutputBuffer();
    bool PlainFrame() const { return m_pass.plainFrame; }
    // Every pass begins here: the movie file is identified, the image names take
    // imagePrefix (folder and title), and the audio due is taken from the writers as
    // they stand.
    void BeginPass(Pass pass, const std::wstring& imagePrefix);
    // Per frame of a pass: image files when filesDue, the frame of each movie output and
    // the audio that belongs to it; 0 or an error code.
    [[nodiscard]] int OutputFrame(const Frame& frame, bool filesDue);
    // The audio that belongs to the frame just output, written in line; 0 or an error code.
    [[nodiscard]] int OutputAudioForFrame();
    // Waits, pumping, for the frames handed to the worker. 0, or the code of the first
    // that failed (502 for an image file, 2006 for a movie frame, the writer's code for
    // its audio). A frame that failed on the worker, here or in OutputFrame, is kept for
    // TakeFailedFrame.
    [[nodiscard]] int FinishWorkerFrames();
    // The index of the frame the worker failed on since last asked, or -1.
    int TakeFailedFrame() { return std::exchange(m_failedFrame, -1); }
    // After a command threw: the frames in flight are finished and the writers closed.
    void Abandon();

    // One still image in the format of the path's extension.
    [[nodiscard]] BOOL WriteImageFile(const BYTE* bits, const BITMAPINFOHEADER* header, const std::wstring& path,
                                      int quality);
    // Whether path is the open movie itself, as IdentifyMovieFile last found it on disk.
    bool IsTheMovie(const std::wstring& path) const;
    void IdentifyMovieFile(const std::wstring& movie);

private:
    // The worker's frame writer; off the UI thread while the worker writes.
    void PrepareFrame(const BYTE* bits, int place) override;
    int WriteFrame(const BYTE* bits, int place) override { return WriteMovieFrame(bits, place); }
    int WriteFrameAudio(const BYTE* pcm, int bytes) override;
    // The worker's frame source: the document's reader, for a frame handed over as it
    // delivered it.
    bool GiveFrame(const BYTE* bits, int64_t bytes, std::vector<uint8_t>* storage, size_t* rowsAt) override;

    // Names the frame's image files into m_strImagePaths; how many may be written, and
    // whether a further one was refused because it is the open movie.
    int ImageNames(int frame, bool* refused);
    // Hands the frame's outputs to the worker, after a free slot: its image files, its
    // movie frames and the audio read for it here.
    [[nodiscard]] int PostFrame(const Frame& frame, bool filesDue);
    [[nodiscard]] int WriteMovieFrame(const BYTE* bits, int place = -1);
    [[nodiscard]] int WriteAudioPiece(const BYTE* pcm, int bytes);
    [[nodiscard]] int WriteSourceAudio(int64_t due);
    [[nodiscard]] int WriteSilence(int64_t bytes);
    // The source's audio in pieces of at most this many bytes, whole sample frames.
    int64_t AudioPieceBytes() const;
    // Reads up to want bytes of the source's PCM into m_audio at the run's volume.
    [[nodiscard]] int ReadAudioPiece(int want, int* got);
    // What the audio due of the pass is worked out from while the worker writes.
    void TakeAudioDueBasis();
    // Reads the audio due after the frame about to be handed over, when it fits in one
    // piece; a larger due is left in *inLine, to be written once the worker is done.
    [[nodiscard]] int ReadFrameAudio(int* bytes, int64_t* inLine);
    [[nodiscard]] int WriteAudioInLine(int64_t due);
    // Whether the AVI file takes frames in this pass: not in the analysis pass of a
    // two-pass WMV file.
    bool AviTakesFrames() const;
    bool NeedsPcm() const;

    CMemBuffClassBaseConst<CEncWMVWMA> m_wmv;
    CMemBuffClassBaseConst<CEncAVI2> m_avi;
    int m_nAudioChoice = 0;
    int m_nPcmResult = 0;
    BITMAPINFOHEADER m_writerHeader{};
    Pass m_pass;
    CMemBuffBase<unsigned char> m_output;
    CMemBuffBase<unsigned char> m_silence;
    // The source audio of a frame, read in pieces of a bounded size.
    CMemBuffBase<unsigned char> m_audio;
    // Kept for every run: its writers keep their buffers between files.
    CResImgFile m_imageFiles;
    // Takes a frame's outputs while the next frames are read and shown.
    CImageFileWorker m_imageWorker;
    bool m_bOutputsBeside = true;
    bool m_bWorkerPending = false;
    int m_failedFrame = -1;
    // The audio due of a pass whose movie outputs are on the worker: the writer's own
    // counts when the pass began, plus the frames and audio handed over since.
    bool m_bDueAhead = false;
    AudioDueBasis m_dueBasis;
    int64_t m_dueFrames = 0;
    int64_t m_dueBytes = 0;
    // Silence per frame for a WMV file of a movie without audio; set per pass.
    int64_t m_nRunSilence = 0;
    // The names of a frame's image files, in the order they are written, and the folder
    // and title part they share in a pass.
    std::wstring m_strImagePaths[CImageFileWorker::kMaxFiles];
    std::wstring m_strImagePrefix;
    struct {
        bool known = false;
        uint64_t device = 0, inode = 0;
    } m_movieFile;
};
