#include "app/ConversionRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cwchar>

#include "app/TALVERNDoc.h"
#include "dialogs/Launchers.h"
#include "foundation/ResultCodes.h"
#include "image/BoundedPath.h"
#include "platform/vcm/Vcm.h"
#include "platform/win32/ThreadRole.h"
#include "readers/DecAVIAudio.h"
#include "writers/PCMWavVolume.h"

namespace {

// Audio goes to the writers in pieces of at most this many bytes, from one kept buffer.
constexpr int64_t kAudioPieceBytes = 1 << 20;

// The image switches in the order their files are written, with their name suffixes.
struct ImageOutput {
    BOOL CTALVERNDoc::*on;
    const wchar_t* suffix;
};
constexpr ImageOutput kImageOutputs[] = {
    {&CTALVERNDoc::m_bOutputBmp, L" %07d.bmp"},
    {&CTALVERNDoc::m_bOutputJpg, L" %07d.jpg"},
    {&CTALVERNDoc::m_bOutputTif, L" %07d.tif"},
    {&CTALVERNDoc::m_bOutputPng, L" %07d.png"},
};

// Device and inode of an existing file, read without touching the heap.
bool Identify(const wchar_t* path, struct stat* st) {
    const CBoundedPath native(path);
    return native.Get() && ::stat(native.Get(), st) == 0;
}

}  // namespace

// The worker's slot of a frame is the place the AVI writer prepares it in.
static_assert(CImageFileWorker::kMaxSlots <= kSeqCompressPlaces, "a frame in flight needs a place of its own");

int64_t SilenceBytesPerFrame(double rate) {
    if (!(rate > 0)) return 0;
    // Bounded so that the conversion is defined; no usable rate comes near it.
    const double bytes = std::min(48000.0 / rate * 4 + 0.5, 1e15);
    return (static_cast<int64_t>(bytes) + 3) / 4 * 4;
}

// ---- Before the frames ----

bool CConversionRun::IsTheMovie(const std::wstring& path) const {
    struct stat out {};
    return m_movieFile.known && Identify(path.c_str(), &out) && out.st_dev == m_movieFile.device &&
           out.st_ino == m_movieFile.inode;
}

void CConversionRun::IdentifyMovieFile(const std::wstring& movie) {
    struct stat st {};
    m_movieFile.known = Identify(movie.c_str(), &st);
    m_movieFile.device = st.st_dev;
    m_movieFile.inode = st.st_ino;
}

int CConversionRun::PrepareOutputBuffer(const CTALVERNDoc& doc) {
    const BITMAPINFOHEADER& out = doc.m_OutputHeader;
    const std::optional<int64_t> bytes = FrameBytes24(out.biWidth, out.biHeight);
    if (out.biWidth <= 0 || out.biHeight <= 0 || !bytes) return ResultCode::kMemory;
    if (!m_output.Alloc(static_cast<int>(*bytes)) || m_output.GetCount() < *bytes) return ResultCode::kMemory;
    // The movie writers were opened with a frame size; every frame handed to them has it.
    if ((doc.m_bOutputAvi || doc.m_bOutputWmv) &&
        (out.biWidth != m_writerHeader.biWidth || out.biHeight != m_writerHeader.biHeight ||
         m_writerHeader.biSizeImage != static_cast<DWORD>(*bytes)))
        return ResultCode::kOutput;
    return 0;
}

BYTE* CConversionRun::OutputBuffer() {
    TALVERN_ASSERT_UI_THREAD();
    if (m_bOutputsBeside) {
        while (m_bWorkerPending && !m_imageWorker.WaitForSlot(5)) m_pass.pump();
        if (BYTE* rows = m_imageWorker.NextFrameRows(m_pass.doc->m_OutputHeader)) return rows;
    }
    return m_output.GetData();
}

void CConversionRun::BeginPass(Pass pass, const std::wstring& imagePrefix) {
    TALVERN_ASSERT_UI_THREAD();
    m_pass = std::move(pass);
    IdentifyMovieFile(m_pass.doc->GetPathName());
    TakeAudioDueBasis();
    m_strImagePrefix = imagePrefix;
    for (std::wstring& path : m_strImagePaths) path.reserve(m_strImagePrefix.size() + 16);
}

bool CConversionRun::AviTakesFrames() const {
    const CTALVERNDoc* doc = m_pass.doc;
    return doc->m_bOutputAvi && !(doc->m_bOutputWmv && m_wmv->IsTwoPass());
}

bool CConversionRun::NeedsPcm() const {
    const CTALVERNDoc* doc = m_pass.doc;
    return m_pass.audio && (doc->m_bOutputWmv || (doc->m_bOutputAvi && m_nAudioChoice == kAudioRecompress));
}

void CConversionRun::TakeAudioDueBasis() {
    const CTALVERNDoc* doc = m_pass.doc;
    m_dueFrames = m_dueBytes = 0;
    m_bDueAhead = NeedsPcm();
    if (doc->m_bOutputWmv) m_dueBasis = m_wmv->GetAudioDueBasis();
    else if (m_bDueAhead) m_dueBasis = m_avi->GetAudioDueBasis();
    m_nRunSilence = doc->m_bOutputWmv && !m_pass.audio ? SilenceBytesPerFrame(m_pass.rate) : 0;
}

// ---- Per frame ----

BOOL CConversionRun::WriteImageFile(const BYTE* bits, const BITMAPINFOHEADER* header, const std::wstring& path,
                                    int quality) {
    BITMAPINFOHEADER h = *header;
    return m_imageFiles.Save(bits, &h, path.c_str(), quality);
}

int CConversionRun::OutputFrame(const Frame& frame, bool filesDue) {
    TALVERN_ASSERT_UI_THREAD();
    if (m_bOutputsBeside) return PostFrame(frame, filesDue);
    const CTALVERNDoc* doc = m_pass.doc;
    if (filesDue) {
        bool refused = false;
        const int count = ImageNames(frame.index, &refused);
        for (int i = 0; i < count; ++i)
            if (!WriteImageFile(frame.bits, &doc->m_OutputHeader, m_strImagePaths[i], doc->m_Info.m_nJpegQuality))
                return ResultCode::kOutput;
        if (refused) return ResultCode::kOutput;
    }
    if (const int code = WriteMovieFrame(frame.bits)) return code;
    return OutputAudioForFrame();
}

void CConversionRun::PrepareFrame(const BYTE* bits, int place) {
    if (AviTakesFrames()) m_avi->PrepareFrame(bits, place);
}

int CConversionRun::WriteMovieFrame(const BYTE* bits, int place) {
    const CTALVERNDoc* doc = m_pass.doc;
    if (AviTakesFrames() && m_avi->WriteFrameAt(bits, place) != 0) return ResultCode::kStreamWrite;
    if (doc->m_bOutputWmv && m_wmv->WriteVideoFrame(bits) != 0) return ResultCode::kStreamWrite;
    return 0;
}

int CConversionRun::ImageNames(int frame, bool* refused) {
    const CTALVERNDoc* doc = m_pass.doc;
    int count = 0;
    *refused = false;
    for (const ImageOutput& image : kImageOutputs) {
        if (!(doc->*image.on)) continue;
        wchar_t suffix[32];
        std::swprintf(suffix, std::size(suffix), image.suffix, frame + 1);
        std::wstring& path = m_strImagePaths[count];
        path.assign(m_strImagePrefix).append(suffix);
        if (IsTheMovie(path)) {
            *refused = true;
            break;
        }
        ++count;
    }
    return count;
}

int CConversionRun::PostFrame(const Frame& frame, bool filesDue) {
    const CTALVERNDoc* doc = m_pass.doc;
    // A failure among the frames before ends the run before this frame's outputs begin,
    // as it would in line.
    while (m_bWorkerPending && !m_imageWorker.WaitForSlot(5)) m_pass.pump();
    if (m_bWorkerPending && m_imageWorker.Failed()) return FinishWorkerFrames();
    bool refused = false;
    const int count = filesDue ? ImageNames(frame.index, &refused) : 0;
    const bool movies = doc->m_bOutputAvi || doc->m_bOutputWmv;
    if (count == 0 && !refused && !movies) return 0;
    // The audio is read here, where its reader lives, and travels with the frame. A
    // read that fails still hands the frame over: in line its outputs come first.
    int audioBytes = 0;
    int64_t inLine = 0;
    const int read = movies ? ReadFrameAudio(&audioBytes, &inLine) : 0;
    const int quality = doc->m_Info.m_nJpegQuality;
    if (!m_imageWorker.Post(frame.index, frame.bits, doc->m_OutputHeader, quality, m_strImagePaths, count, refused,
                            movies ? this : nullptr, m_audio.GetData(), audioBytes, this))
        return ResultCode::kMemory;
    m_bWorkerPending = true;
    if (movies) {
        ++m_dueFrames;
        m_dueBytes += audioBytes;
    }
    if (read != 0) return read;
    return inLine > 0 ? WriteAudioInLine(inLine) : 0;
}

bool CConversionRun::GiveFrame(const BYTE* bits, int64_t bytes, std::vector<uint8_t>* storage, size_t* rowsAt) {
    // Rows that are the reader's frame unchanged stay where they are, shown by the view
    // until the next frame is read, and the reader makes that one in the storage of a
    // slot the worker is done with. The reader refuses what is not its own frame.
    CDecMovie* reader = m_pass.doc->m_Reader.Get();
    return reader && reader->TradeFrame(bits, bytes, storage, rowsAt);
}

int CConversionRun::ReadFrameAudio(int* bytes, int64_t* inLine) {
    *bytes = 0;
    *inLine = 0;
    if (!m_bDueAhead) return 0;
    // As the writer will count once the frame is written.
    const int64_t due = m_dueBasis.DueAfter(m_dueFrames + 1, m_dueBytes);
    if (due <= 0) return 0;
    // Pieces of a larger due alternate between the writers in line.
    if (due > AudioPieceBytes()) {
        *inLine = due;
        return 0;
    }
    return ReadAudioPiece(static_cast<int>(due), bytes);
}

int CConversionRun::WriteAudioInLine(int64_t due) {
    // The frame and every one before it are written first, as in line.
    while (!m_imageWorker.WaitForAll(5)) m_pass.pump();
    if (m_imageWorker.Failed()) return FinishWorkerFrames();
    m_bWorkerPending = false;
    const int code = WriteSourceAudio(due);
    TakeAudioDueBasis();  // the writers' own counts again
    return code;
}

int CConversionRun::WriteFrameAudio(const BYTE* pcm, int bytes) {
    if (m_nRunSilence > 0) return WriteSilence(m_nRunSilence);
    return bytes > 0 ? WriteAudioPiece(pcm, bytes) : 0;
}

int CConversionRun::FinishWorkerFrames() {
    TALVERN_ASSERT_UI_THREAD();
    if (!m_bWorkerPending) return 0;
    while (!m_imageWorker.WaitForAll(5)) m_pass.pump();
    m_bWorkerPending = false;
    if (!m_imageWorker.Failed()) return 0;
    m_failedFrame = m_imageWorker.FailedTag();
    const int code = m_imageWorker.FailedCode();
    m_imageWorker.ClearFailure();
    return code;
}

void CConversionRun::Abandon() {
    // The worker's frames are finished, not left half written behind the closed run.
    if (m_bWorkerPending) {
        while (!m_imageWorker.WaitForAll(100)) continue;
        m_bWorkerPending = false;
        m_imageWorker.ClearFailure();
    }
    // The exception that ended the run is what went wrong.
    (void)m_wmv->Close();
    (void)m_avi->Close();
}

// ---- Audio ----

int CConversionRun::OutputAudioForFrame() {
    const CTALVERNDoc* doc = m_pass.doc;
    if (m_pass.audio) {
        int due = 0;
        if (doc->m_bOutputWmv) due = m_wmv->GetAudioBytesDue();
        else if (doc->m_bOutputAvi && m_nAudioChoice == kAudioRecompress) due = m_avi->GetAudioBytesDue();
        return due > 0 ? WriteSourceAudio(due) : 0;
    }
    // A movie without audio still gets a silent track in the WMV file.
    return doc->m_bOutputWmv ? WriteSilence(SilenceBytesPerFrame(m_pass.rate)) : 0;
}

int CConversionRun::WriteSourceAudio(int64_t due) {
    const int64_t piece = AudioPieceBytes();
    while (due > 0) {
        const int want = static_cast<int>(std::min(due, piece));
        int got = 0;
        if (const int code = ReadAudioPiece(want, &got)) return code;
        if (got == 0) return 0;
        if (const int code = WriteAudioPiece(m_audio.GetData(), got)) return code;
        // The rest is asked for at the next frame, and padded when the writers close.
        if (got < want) return 0;
        due -= got;
    }
    return 0;
}

int64_t CConversionRun::AudioPieceBytes() const {
    const WAVEFORMATEX* pcm = m_pass.audio->GetPCMFormat();
    const int64_t align = pcm && pcm->nBlockAlign > 0 ? pcm->nBlockAlign : 1;
    return std::max(kAudioPieceBytes / align * align, align);
}

int CConversionRun::ReadAudioPiece(int want, int* got) {
    *got = 0;
    CDecAVIAudioComp* audio = m_pass.audio;
    BYTE* buffer = m_audio.GetBuffer(want);
    if (!buffer || m_audio.GetCount() < want) return ResultCode::kMemory;
    const int read = audio->ReadPCM(buffer, want);
    // A decoder that fails ends the run; nothing stands in for the audio it lost.
    if (read < 0) return ResultCode::kStreamRead;
    const WAVEFORMATEX* pcm = audio->GetPCMFormat();
    CPCMWavVolume::ApplyVolume(buffer, read, m_pass.doc->m_Info.m_nVolume, pcm ? pcm->wBitsPerSample : 16);
    *got = read;
    return 0;
}

int CConversionRun::WriteAudioPiece(const BYTE* pcm, int bytes) {
    const CTALVERNDoc* doc = m_pass.doc;
    if (AviTakesFrames() && m_nAudioChoice == kAudioRecompress)
        if (const int code = m_avi->WriteAudio(pcm, bytes)) return code;
    if (doc->m_bOutputWmv)
        if (const int code = m_wmv->WriteAudio(pcm, bytes)) return code;
    return 0;
}

int CConversionRun::WriteSilence(int64_t bytes) {
    const int size = static_cast<int>(std::min(bytes, kAudioPieceBytes));
    if (size <= 0) return 0;
    if (m_silence.GetCount() < size) {
        if (!m_silence.Alloc(size) || m_silence.GetCount() < size) return ResultCode::kMemory;
        m_silence.FillAll(0);
    }
    for (int64_t left = bytes; left > 0; left -= size) {
        const int piece = static_cast<int>(std::min<int64_t>(left, size));
        if (const int code = m_wmv->WriteAudio(m_silence.GetData(), piece)) return code;
    }
    return 0;
}
