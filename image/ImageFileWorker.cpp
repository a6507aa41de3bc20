#include "image/ImageFileWorker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "foundation/ResultCodes.h"
#include "platform/win32/Cores.h"
#include "platform/win32/ThreadRole.h"

CImageFileWorker::CImageFileWorker(int encoders)
    : m_encoders(std::clamp(encoders, 1, kMaxEncoders)), m_slots(static_cast<size_t>(m_encoders) + 1) {}

CImageFileWorker::~CImageFileWorker() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) t.join();
}

int CImageFileWorker::DefaultEncoders() { return std::clamp(AllowedCores() - 1, 1, kMaxEncoders); }

bool CImageFileWorker::Post(int tag, const BYTE* bits, const BITMAPINFOHEADER& header, int quality,
                            const std::wstring* paths, int count, bool refusedAfter, FrameWriter* writer,
                            const BYTE* audio, int audioBytes, FrameSource* source) {
    const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    const std::optional<int64_t> bytes = FrameBytes24(header.biWidth, height);
    if (!bits || !bytes || count < 0 || count > kMaxFiles || audioBytes < 0 || (audioBytes > 0 && !audio))
        return false;
    std::unique_lock<std::mutex> hold(m_lock);
    Slot& slot = SlotOf(m_posted);
    if (slot.state != State::Free) return false;
    hold.unlock();
    // A free slot is the caller's alone until it is handed over below.
    if (!TakeRows(slot, bits, *bytes, source)) return false;
    if (audioBytes > 0 && (!slot.audio.GetBuffer(audioBytes) || slot.audio.GetCount() < audioBytes)) return false;
    if (audioBytes > 0) std::memcpy(slot.audio.GetData(), audio, static_cast<size_t>(audioBytes));
    slot.audioBytes = audioBytes;
    slot.tag = tag;
    slot.header = header;
    slot.quality = quality;
    for (int i = 0; i < count; ++i) slot.paths[i].assign(paths[i]);  // keeps each string's block
    slot.count = count;
    slot.refusedAfter = refusedAfter;
    slot.writer = writer;
    hold.lock();
    slot.state = State::Posted;
    ++m_posted;
    if (m_threads.empty())
        for (int i = 0; i < m_encoders; ++i) m_threads.emplace_back(&CImageFileWorker::Encoder, this);
    hold.unlock();
    m_wake.notify_one();
    return true;
}

BYTE* CImageFileWorker::NextFrameRows(const BITMAPINFOHEADER& header) {
    const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    const std::optional<int64_t> bytes = FrameBytes24(header.biWidth, height);
    if (!bytes) return nullptr;
    std::unique_lock<std::mutex> hold(m_lock);
    Slot& slot = SlotOf(m_posted);
    if (slot.state != State::Free) return nullptr;
    hold.unlock();
    return FitRows(slot, *bytes) ? slot.frame.data() + slot.rowsAt : nullptr;
}

bool CImageFileWorker::FitRows(Slot& slot, int64_t bytes) {
    const size_t need = slot.rowsAt + static_cast<size_t>(bytes);
    if (slot.frame.size() >= need) return true;
    try {
        slot.frame.resize(need);  // made with the first frames, then kept
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CImageFileWorker::TakeRows(Slot& slot, const BYTE* bits, int64_t bytes, FrameSource* source) {
    slot.bytes = bytes;
    // Made in place: the caller resized the frame into the slot.
    if (bits == Rows(slot) && slot.frame.size() >= slot.rowsAt + static_cast<size_t>(bytes)) return true;
    if (source && source->GiveFrame(bits, bytes, &slot.frame, &slot.rowsAt))
        return bits == Rows(slot) && slot.frame.size() >= slot.rowsAt + static_cast<size_t>(bytes);
    if (!FitRows(slot, bytes)) return false;
    std::memcpy(slot.frame.data() + slot.rowsAt, bits, static_cast<size_t>(bytes));
    return true;
}

bool CImageFileWorker::WaitForSlot(int milliseconds) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                              [this] { return SlotOf(m_posted).state == State::Free; });
}

bool CImageFileWorker::WaitForAll(int milliseconds) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                              [this] { return m_committed == m_posted; });
}

bool CImageFileWorker::Failed() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_failed;
}

int CImageFileWorker::FailedTag() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_failedTag;
}

int CImageFileWorker::FailedCode() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_failedCode;
}

void CImageFileWorker::ClearFailure() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_failed = false;
}

void CImageFileWorker::Encoder() {
    NameThisThread("tv-imagefiles");
    // Each encoder keeps its own writers, with their library state and buffers.
    auto files = std::make_unique<CResImgFile>();
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        // The oldest frame not yet taken: frames are taken in the order handed over.
        Slot* next = nullptr;
        m_wake.wait(hold, [&] {
            for (uint64_t s = m_committed; s < m_posted && !next; ++s)
                if (SlotOf(s).state == State::Posted) next = &SlotOf(s);
            return next || m_quit;
        });
        if (!next) return;
        next->state = State::Encoding;
        hold.unlock();
        Encode(*next, *files);
        hold.lock();
        next->state = State::Encoded;
        if (!m_committing) CommitInOrder(hold);
    }
}

void CImageFileWorker::Encode(Slot& slot, CResImgFile& files) {
    for (int i = 0; i < slot.count; ++i) {
        if (!CResImgFile::EncodesApart(slot.paths[i].c_str())) continue;
        // Room for the frame as it came, which a compressed file seldom passes: the
        // block is made once, not grown file by file.
        const auto room = static_cast<size_t>(slot.bytes) + kHeaderRoom;
        if (slot.encoded[i].capacity() < room) slot.encoded[i].reserve(room);
        BITMAPINFOHEADER header = slot.header;
        slot.encodedOk[i] =
            files.EncodeApart(&slot.encoded[i], Rows(slot), &header, slot.paths[i].c_str(), slot.quality);
    }
    if (slot.writer) slot.writer->PrepareFrame(Rows(slot), PlaceOf(slot));
}

void CImageFileWorker::CommitInOrder(std::unique_lock<std::mutex>& hold) {
    m_committing = true;
    while (m_committed < m_posted && SlotOf(m_committed).state == State::Encoded) {
        Slot& slot = SlotOf(m_committed);
        const bool write = !m_failed;
        hold.unlock();
        const int code = write ? WriteFrame(slot) : 0;
        hold.lock();
        if (code != 0) {
            m_failed = true;
            m_failedTag = slot.tag;
            m_failedCode = code;
        }
        slot.state = State::Free;
        ++m_committed;
        m_changed.notify_all();
    }
    m_committing = false;
}

int CImageFileWorker::WriteFrame(Slot& slot) {
    if (!WriteFiles(slot)) return ResultCode::kOutput;
    if (!slot.writer) return 0;
    if (const int code = slot.writer->WriteFrame(Rows(slot), PlaceOf(slot))) return code;
    return slot.writer->WriteFrameAudio(slot.audio.GetData(), slot.audioBytes);
}

bool CImageFileWorker::WriteFiles(Slot& slot) {
    for (int i = 0; i < slot.count; ++i) {
        const wchar_t* path = slot.paths[i].c_str();
        if (!CResImgFile::EncodesApart(path)) {
            BITMAPINFOHEADER header = slot.header;
            if (!m_direct.Save(Rows(slot), &header, path, slot.quality)) return false;
            continue;
        }
        // Opened only now, as the writer would have opened it: a name that cannot be
        // made fails here, after the files before it.
        if (!m_file.Open(path)) return false;
        const std::vector<BYTE>& bytes = slot.encoded[i];
        if (!slot.encodedOk[i] || !m_file.Write(bytes.data(), bytes.size())) {
            m_file.Abandon();
            return false;
        }
        if (!m_file.Close()) return false;
    }
    return !slot.refusedAfter;
}
