// Per-frame output of the view (image files, movie frames and their audio), the frame
// on screen made from the frame read, and the single-frame outputs Save Image and Copy.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "app/TALVERNDoc.h"
#include "app/TALVERNView.h"
#include "foundation/PathUtil.h"
#include "foundation/RegUtil.h"
#include "foundation/ResultCodes.h"
#include "foundation/SysUtil.h"
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

std::wstring JoinOutputPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'/') return folder + name;
    return folder + L"/" + name;
}

std::wstring WithImageExtension(const std::wstring& path, int filterIndex, const std::wstring& offered) {
    // A name with an extension keeps it: one no writer knows is refused when written,
    // never replaced by a name the user did not type. The movie's title offered
    // unchanged may hold a dot ("clip.2024") that starts no extension.
    if (path != offered && !GetPathExt(path).empty()) return path;
    static const wchar_t* const kFilterExt[] = {L".jpg", L".bmp", L".tif", L".png"};
    const bool listed = filterIndex >= 1 && filterIndex <= 4;
    return path + kFilterExt[listed ? filterIndex - 1 : 0];
}

int64_t SilenceBytesPerFrame(double rate) {
    if (!(rate > 0)) return 0;
    // Bounded so that the conversion is defined; no usable rate comes near it.
    const double bytes = std::min(48000.0 / rate * 4 + 0.5, 1e15);
    return (static_cast<int64_t>(bytes) + 3) / 4 * 4;
}

// ---- Per frame ----

// The worker's slot of a frame is the place the AVI writer prepares it in.
static_assert(CImageFileWorker::kMaxSlots <= kSeqCompressPlaces, "a frame in flight needs a place of its own");

bool CTALVERNView::IsTheMovie(const std::wstring& path) const {
    struct stat out {};
    return m_movieFile.known && Identify(path.c_str(), &out) && out.st_dev == m_movieFile.device &&
           out.st_ino == m_movieFile.inode;
}

void CTALVERNView::IdentifyMovieFile() {
    struct stat movie {};
    m_movieFile.known = m_pDocument && Identify(m_pDocument->GetPathName().c_str(), &movie);
    m_movieFile.device = movie.st_dev;
    m_movieFile.inode = movie.st_ino;
}

BOOL CTALVERNView::WriteImageFile(const BYTE* bits, const BITMAPINFOHEADER* header, const std::wstring& path) {
    BITMAPINFOHEADER h = *header;
    return m_imageFiles.Save(bits, &h, path.c_str(), m_pDocument->m_Info.m_nJpegQuality);
}

int CTALVERNView::OutputFrame(int n) {
    CTALVERNDoc* doc = m_pDocument;
    const BYTE* bits = m_pDisplayBits;
    if (!m_bPlainFrame && doc->IsAnyOutputOn()) {
        BITMAPINFOHEADER frame{};
        GetSourceHeader(&frame);
        const RECT& c = doc->m_ClipRect;
        m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
        bits = m_pipeline->Resize(m_pDisplayBits, m_output.GetData(), &frame, &doc->m_OutputHeader);
        if (!bits) return ResultCode::kMemory;
    }
    // The analysis pass of a two-pass encode feeds the WMV writer alone.
    const bool analysis = doc->m_bOutputWmv && m_wmv->IsTwoPass();
    const auto interval = static_cast<unsigned>(std::max(doc->m_Info.m_nImageInterval, 1));
    const bool filesDue = !analysis && static_cast<unsigned>(n) % interval == 0;
    if (m_bOutputsBeside) return PostFrame(bits, filesDue);
    if (filesDue) {
        bool refused = false;
        const int count = ImageNames(&refused);
        for (int i = 0; i < count; ++i)
            if (!WriteImageFile(bits, &doc->m_OutputHeader, m_strImagePaths[i])) return ResultCode::kOutput;
        if (refused) return ResultCode::kOutput;
    }
    if (const int code = WriteMovieFrame(bits)) return code;
    return OutputAudioForFrame();
}

void CTALVERNView::PrepareMovieFrame(const BYTE* bits, int place) {
    const CTALVERNDoc* doc = m_pDocument;
    if (doc->m_bOutputAvi && !(doc->m_bOutputWmv && m_wmv->IsTwoPass())) m_avi->PrepareFrame(bits, place);
}

int CTALVERNView::WriteMovieFrame(const BYTE* bits, int place) {
    const CTALVERNDoc* doc = m_pDocument;
    const bool analysis = doc->m_bOutputWmv && m_wmv->IsTwoPass();
    if (doc->m_bOutputAvi && !analysis && m_avi->WriteFrameAt(bits, place) != 0) return ResultCode::kStreamWrite;
    if (doc->m_bOutputWmv && m_wmv->WriteVideoFrame(bits) != 0) return ResultCode::kStreamWrite;
    return 0;
}

int CTALVERNView::ImageNames(bool* refused) {
    const CTALVERNDoc* doc = m_pDocument;
    int count = 0;
    *refused = false;
    for (const ImageOutput& image : kImageOutputs) {
        if (!(doc->*image.on)) continue;
        wchar_t suffix[32];
        std::swprintf(suffix, std::size(suffix), image.suffix, m_nCurrent + 1);
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

int CTALVERNView::PostFrame(const BYTE* bits, bool filesDue) {
    TALVERN_ASSERT_UI_THREAD();
    CTALVERNDoc* doc = m_pDocument;
    // A failure among the frames before ends the run before this frame's outputs begin,
    // as it would in line.
    while (m_bWorkerPending && !m_imageWorker.WaitForSlot(5)) PumpRunMessages();
    if (m_bWorkerPending && m_imageWorker.Failed()) return FinishWorkerFrames();
    bool refused = false;
    const int count = filesDue ? ImageNames(&refused) : 0;
    const bool movies = doc->m_bOutputAvi || doc->m_bOutputWmv;
    if (count == 0 && !refused && !movies) return 0;
    // The audio is read here, where its reader lives, and travels with the frame. A
    // read that fails still hands the frame over: in line its outputs come first.
    int audioBytes = 0;
    int64_t inLine = 0;
    const int read = movies ? ReadFrameAudio(&audioBytes, &inLine) : 0;
    const int quality = doc->m_Info.m_nJpegQuality;
    if (!m_imageWorker.Post(m_nCurrent, bits, doc->m_OutputHeader, quality, m_strImagePaths, count, refused,
                            movies ? &m_movieFrames : nullptr, m_audio.GetData(), audioBytes))
        return ResultCode::kMemory;
    m_bWorkerPending = true;
    if (movies) {
        ++m_dueFrames;
        m_dueBytes += audioBytes;
    }
    if (read != 0) return read;
    return inLine > 0 ? WriteAudioInLine(inLine) : 0;
}

void CTALVERNView::TakeAudioDueBasis() {
    const CTALVERNDoc* doc = m_pDocument;
    m_dueFrames = m_dueBytes = 0;
    m_bDueAhead = NeedsPcm();
    if (doc->m_bOutputWmv) m_dueBasis = m_wmv->GetAudioDueBasis();
    else if (m_bDueAhead) m_dueBasis = m_avi->GetAudioDueBasis();
    m_nRunSilence = doc->m_bOutputWmv && !AudioSource() ? SilenceBytesPerFrame(m_dRate) : 0;
}

int CTALVERNView::ReadFrameAudio(int* bytes, int64_t* inLine) {
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

int CTALVERNView::WriteAudioInLine(int64_t due) {
    // The frame and every one before it are written first, as in line.
    while (!m_imageWorker.WaitForAll(5)) PumpRunMessages();
    if (m_imageWorker.Failed()) return FinishWorkerFrames();
    m_bWorkerPending = false;
    const int code = WriteSourceAudio(due);
    TakeAudioDueBasis();  // the writers' own counts again
    return code;
}

int CTALVERNView::WriteFrameAudio(const BYTE* pcm, int bytes) {
    if (m_nRunSilence > 0) return WriteSilence(m_nRunSilence);
    return bytes > 0 ? WriteAudioPiece(pcm, bytes) : 0;
}

int CTALVERNView::FinishWorkerFrames() {
    if (!m_bWorkerPending) return 0;
    while (!m_imageWorker.WaitForAll(5)) PumpRunMessages();
    m_bWorkerPending = false;
    if (!m_imageWorker.Failed()) return 0;
    const int failed = m_imageWorker.FailedTag();
    const int code = m_imageWorker.FailedCode();
    m_imageWorker.ClearFailure();
    if (m_nCurrent != failed) {
        m_nCurrent = failed;
        (void)ShowFrame();  // the failure is told over the frame that failed, which comes first
    }
    return code;
}

void CTALVERNView::PumpRunMessages() {
    // A quit stays queued for the main loop; the run ends as after a Stop.
    if (PumpMessages() && m_pDocument) m_pDocument->m_nPlayState = PlayState::Stopped;
}

int CTALVERNView::OutputAudioForFrame() {
    const CTALVERNDoc* doc = m_pDocument;
    if (AudioSource()) {
        int due = 0;
        if (doc->m_bOutputWmv) due = m_wmv->GetAudioBytesDue();
        else if (doc->m_bOutputAvi && m_nAudioChoice == kAudioRecompress) due = m_avi->GetAudioBytesDue();
        return due > 0 ? WriteSourceAudio(due) : 0;
    }
    // A movie without audio still gets a silent track in the WMV file.
    return doc->m_bOutputWmv ? WriteSilence(SilenceBytesPerFrame(m_dRate)) : 0;
}

int CTALVERNView::WriteSourceAudio(int64_t due) {
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

int64_t CTALVERNView::AudioPieceBytes() const {
    const WAVEFORMATEX* pcm = AudioSource()->GetPCMFormat();
    const int64_t align = pcm && pcm->nBlockAlign > 0 ? pcm->nBlockAlign : 1;
    return std::max(kAudioPieceBytes / align * align, align);
}

int CTALVERNView::ReadAudioPiece(int want, int* got) {
    *got = 0;
    CDecAVIAudioComp* audio = AudioSource();
    BYTE* buffer = m_audio.GetBuffer(want);
    if (!buffer || m_audio.GetCount() < want) return ResultCode::kMemory;
    const int read = audio->ReadPCM(buffer, want);
    // A decoder that fails ends the run; nothing stands in for the audio it lost.
    if (read < 0) return ResultCode::kStreamRead;
    const WAVEFORMATEX* pcm = audio->GetPCMFormat();
    CPCMWavVolume::ApplyVolume(buffer, read, m_pDocument->m_Info.m_nVolume, pcm ? pcm->wBitsPerSample : 16);
    *got = read;
    return 0;
}

int CTALVERNView::WriteAudioPiece(const BYTE* pcm, int bytes) {
    const CTALVERNDoc* doc = m_pDocument;
    const bool toAvi =
        doc->m_bOutputAvi && m_nAudioChoice == kAudioRecompress && !(doc->m_bOutputWmv && m_wmv->IsTwoPass());
    if (toAvi)
        if (const int code = m_avi->WriteAudio(pcm, bytes)) return code;
    if (doc->m_bOutputWmv)
        if (const int code = m_wmv->WriteAudio(pcm, bytes)) return code;
    return 0;
}

int CTALVERNView::WriteSilence(int64_t bytes) {
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

BOOL CTALVERNView::IsIdentityClip() {
    BITMAPINFOHEADER frame{};
    if (!GetSourceHeader(&frame)) return TRUE;
    const BITMAPINFOHEADER& out = m_pDocument->m_OutputHeader;
    const RECT& clip = m_pDocument->m_ClipRect;
    return frame.biHeight == out.biHeight && frame.biWidth == out.biWidth && clip.top == 0 && clip.left == 0 &&
           clip.right == frame.biWidth && clip.bottom == frame.biHeight;
}

int CTALVERNView::ApplyDeinterlace() {
    m_picture.Invalidate();
    if (m_shorityu) m_shorityu->DrawImage();
    m_pDisplayBits = m_pSourceBits;
    if (m_nDeinterlace == 0 || !m_pSourceBits) return 0;
    BITMAPINFOHEADER frame{};
    BYTE* out = nullptr;
    if (GetSourceHeader(&frame) && frame.biWidth > 0 && frame.biHeight > 0) {
        const std::optional<int64_t> bytes = FrameBytes24(frame.biWidth, frame.biHeight);
        // Allocated on first use and kept; grown when a movie needs more.
        BYTE* buffer = bytes ? m_deinterlaced.GetBuffer(static_cast<int>(*bytes)) : nullptr;
        if (buffer && m_deinterlaced.GetCount() >= *bytes)
            out = m_pipeline->Deinterlace(m_pSourceBits, buffer, &frame, m_nDeinterlace);
    }
    if (out) {
        m_pDisplayBits = out;
        return 0;
    }
    m_pDisplayBits = m_pSourceBits;
    m_nDeinterlace = 0;
    return ResultCode::kMemory;
}

// ---- Single frame ----

void CTALVERNView::OnSaveImage() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen()) return;
    CInfo& info = doc->m_Info;
    const std::wstring& movie = doc->GetPathName();
    const std::wstring offered = JoinOutputPath(info.m_strOutputFolder, GetPathFileTitle(movie));
    std::wstring path = offered;
    if (BrowseImageSaveFile(path, movie) != kImageFileChosen) return;
    // A name without an extension gets the one of the filter chosen.
    path = WithImageExtension(path, static_cast<int>(ProfileGetInt(L"data", L"Index", 1)), offered);
    info.SaveChecked();
    RefreshFolderDisplay();
    IdentifyMovieFile();
    if (IsTheMovie(path)) {
        StopOnError(ResultCode::kOutput);
        return;
    }
    const BITMAPINFOHEADER& out = doc->m_OutputHeader;
    CMemBuffBase<unsigned char> frame(static_cast<int>(FrameBytes24(out.biWidth, out.biHeight).value_or(0)));
    if (!frame.GetData() || m_pDisplayBits == nullptr) {
        StopOnError(ResultCode::kMemory);
        return;
    }
    BITMAPINFOHEADER source{};
    GetSourceHeader(&source);
    const RECT& c = doc->m_ClipRect;
    m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
    const BYTE* bits = m_pipeline->Resize(m_pDisplayBits, frame.GetData(), &source, &out);
    if (!bits) StopOnError(ResultCode::kMemory);
    else if (!WriteImageFile(bits, &out, path)) StopOnError(ResultCode::kOutput);
}

void CTALVERNView::OnEditCopy() {
    CTALVERNDoc* doc = m_pDocument;
    if (!IsFileOpen()) return;
    BITMAPINFOHEADER out = doc->m_OutputHeader;
    const int64_t bytes = FrameBytes24(out.biWidth, out.biHeight).value_or(0);
    out.biBitCount = 24;
    out.biCompression = BI_RGB;
    out.biSizeImage = static_cast<DWORD>(bytes);
    HGLOBAL block = bytes > 0 && m_pDisplayBits
                        ? GlobalAlloc(GHND, static_cast<size_t>(bytes) + sizeof(BITMAPINFOHEADER))
                        : nullptr;
    BITMAPINFOHEADER source{};
    GetSourceHeader(&source);
    const RECT& c = doc->m_ClipRect;
    m_pipeline->SetClipRect(c.left, c.top, c.right, c.bottom);
    HGLOBAL dib = block ? m_pipeline->ResizeToDIB(block, m_pDisplayBits, &source, &out) : nullptr;
    if (!dib) {
        if (block) GlobalFree(block);
        StopOnError(ResultCode::kMemory);
        return;
    }
    CopyDIBToClipboard(dib);
}
