#pragma once
// Writes the image files of a run's frames on threads of their own, so that whoever runs
// the frames reads and shows the next ones meanwhile. JPEG and PNG files of successive
// frames are encoded side by side into memory; the files themselves are written frame by
// frame, in order, each frame's files in the order given, by the writers a caller would
// use itself. The files, their bytes and the first failure are those of writing them in
// line: no file of a frame after a failed one is written. A movie writer fed frame by
// frame can take each frame after its files, on the same threads, in the same order.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/MemBuffBase.h"
#include "image/OutFile.h"
#include "image/ResImgFile.h"

class CImageFileWorker {
public:
    static constexpr int kMaxFiles = 4;
    // Frames encoded side by side at most, and the slots of frames in flight: each slot
    // is a place the frame writer may prepare a frame in.
    static constexpr int kMaxEncoders = 4;
    static constexpr int kMaxSlots = kMaxEncoders + 1;
    // Called off the UI thread, on the worker's threads.
    // Takes each frame after its files, in order, on the thread that writes them (a
    // movie writer fed frame by frame), then the audio handed over with the frame;
    // 0 or the code the frame fails with. Before that, PrepareFrame may do what needs
    // no order (a conversion) on the thread that encodes the frame's files, side by
    // side with other frames; place: the frame's slot, the same in WriteFrame.
    class FrameWriter {
    public:
        virtual ~FrameWriter() = default;
        virtual void PrepareFrame(const BYTE*, int) {}
        virtual int WriteFrame(const BYTE* bits, int place) = 0;
        virtual int WriteFrameAudio(const BYTE*, int) { return 0; }
    };
    // Whoever made a frame's rows, when it can give their storage instead of a copy.
    class FrameSource {
    public:
        virtual ~FrameSource() = default;
        // On the poster's thread, inside Post: swaps *storage with the storage that
        // holds the bytes at bits, which then begin at *rowsAt in it, and makes its next
        // frames in what *storage held. False: nothing changed, and the frame is copied.
        virtual bool GiveFrame(const BYTE* bits, int64_t bytes, std::vector<uint8_t>* storage, size_t* rowsAt) = 0;
    };

    // encoders: how many frames are encoded side by side (1 to kMaxEncoders); one more frame
    // can wait to be taken. Every buffer is made with the first frames and then kept.
    explicit CImageFileWorker(int encoders = DefaultEncoders());
    ~CImageFileWorker();
    CImageFileWorker(const CImageFileWorker&) = delete;
    CImageFileWorker& operator=(const CImageFileWorker&) = delete;
    // The cores but one for the thread that runs the frames, from 1 to 4.
    static int DefaultEncoders();

    // Hands over frame tag: its 24-bit rows, to be written to paths[0..count) in order,
    // stopping at the first file that fails. refusedAfter: the frame fails once those
    // are written (a further name the caller would not write). writer, if given, then
    // takes the frame. The rows are copied, unless they were made in the slot
    // (NextFrameRows) or source gives their storage. False when no slot is free
    // (WaitForSlot) or the frame cannot be copied; nothing is handed over then.
    // audio[0..audioBytes) is copied too, for the writer's WriteFrameAudio.
    bool Post(int tag, const BYTE* bits, const BITMAPINFOHEADER& header, int quality, const std::wstring* paths,
              int count, bool refusedAfter, FrameWriter* writer = nullptr, const BYTE* audio = nullptr,
              int audioBytes = 0, FrameSource* source = nullptr);
    // Where the next frame handed over may be made, rows for header: Post then takes it
    // without a copy. Null when no slot is free or there is no memory. Valid until Post.
    BYTE* NextFrameRows(const BITMAPINFOHEADER& header);
    // Wait up to the given milliseconds; true once a frame can be handed over, or once
    // every frame handed over is finished.
    bool WaitForSlot(int milliseconds);
    bool WaitForAll(int milliseconds);
    // Whether a frame failed, its tag and its code (502 for a file, else the frame
    // writer's). Frames after it write nothing until the failure is cleared.
    bool Failed();
    int FailedTag();
    int FailedCode();
    void ClearFailure();

private:
    static constexpr size_t kHeaderRoom = 64 * 1024;
    enum class State { Free, Posted, Encoding, Encoded };
    struct Slot {
        State state = State::Free;
        int tag = 0;
        // The rows begin at rowsAt, after what the frame's maker keeps before them.
        std::vector<uint8_t> frame;
        size_t rowsAt = 0;
        int64_t bytes = 0;
        BITMAPINFOHEADER header{};
        int quality = 0;
        std::wstring paths[kMaxFiles];
        int count = 0;
        bool refusedAfter = false;
        FrameWriter* writer = nullptr;
        CMemBuffBase<BYTE> audio;  // kept, like the frame
        int audioBytes = 0;
        std::vector<BYTE> encoded[kMaxFiles];  // JPEG and PNG files, encoded apart
        bool encodedOk[kMaxFiles] = {};
    };

    // Off the UI thread: the worker's threads ("tv-imagefiles") run Encoder and all
    // below it; CommitInOrder, WriteFrame and WriteFiles on one of them at a time.
    void Encoder();
    void Encode(Slot& slot, CResImgFile& files);
    static const BYTE* Rows(const Slot& slot) { return slot.frame.data() + slot.rowsAt; }
    // Grows the slot's storage to hold bytes of rows; never shrinks it. False: no memory.
    static bool FitRows(Slot& slot, int64_t bytes);
    // The rows of the next slot, which must be free, made, given or copied there.
    bool TakeRows(Slot& slot, const BYTE* bits, int64_t bytes, FrameSource* source);
    int PlaceOf(const Slot& slot) const { return static_cast<int>(&slot - m_slots.data()); }
    // Writes the frames whose turn has come, in order; called with the lock held by
    // one encoder at a time.
    void CommitInOrder(std::unique_lock<std::mutex>& hold);
    // 0 or the code the frame fails with.
    int WriteFrame(Slot& slot);
    bool WriteFiles(Slot& slot);
    Slot& SlotOf(uint64_t sequence) { return m_slots[sequence % m_slots.size()]; }

    const int m_encoders;
    std::vector<Slot> m_slots;
    std::vector<std::thread> m_threads;
    std::mutex m_lock;
    std::condition_variable m_wake;     // a frame was handed over, or the worker ends
    std::condition_variable m_changed;  // a frame was finished
    uint64_t m_posted = 0;              // frames handed over
    uint64_t m_committed = 0;           // frames finished, in order
    bool m_committing = false;
    bool m_quit = false;
    bool m_failed = false;
    int m_failedTag = 0;
    int m_failedCode = 0;

    // Used only by the encoder that holds the turn to write.
    CResImgFile m_direct;
    COutFile m_file;
};
