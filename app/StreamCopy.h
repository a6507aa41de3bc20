#pragma once
// The video stream copy: the compressed video from a key frame through the last frame
// of the movie or the range into "Copy_<title>.avi", sample for sample, with the audio
// left out, recompressed or copied as it is. Every question comes before the file is
// created; the view follows the copy through IExtractionHost.
#include <string>

#include "app/ExtractionHost.h"
#include "foundation/MemBuffBase.h"
#include "writers/EncAVI2.h"

class CDecAVIAudioComp;
class CTALVERNDoc;
class QWidget;

class CStreamCopy {
public:
    // avi: the conversion run's writer. The copy does not make one of its own: a writer
    // loads the compressor and audio format settings when made and stores them when
    // destroyed, so a second one would offer a format chosen in the other only at the
    // next start, and whichever went last would undo what the other stored.
    CStreamCopy(CEncAVI2& avi, IExtractionHost& host) : m_avi(avi), m_host(host) {}
    CStreamCopy(const CStreamCopy&) = delete;
    CStreamCopy& operator=(const CStreamCopy&) = delete;

    // Copies from the first key frame at or after view.current, then closes the file.
    // 0, -2 when the user cancelled, or an error code (a file its writer could not
    // finish among them).
    [[nodiscard]] int Run(CTALVERNDoc& doc, const ViewSpan& view);

    // The source's audio of frames first through last, copied unchanged into the open
    // file of avi; a sample that cannot be read is asked about in a box over owner.
    [[nodiscard]] static int CopySourceAudio(CEncAVI2& avi, CDecAVIAudioComp& audio, int first, int last,
                                             QWidget* owner);

private:
    [[nodiscard]] int Copy(CTALVERNDoc& doc, const ViewSpan& view);
    [[nodiscard]] int AskAudio(CDecAVIAudioComp* audio, int startFrame);
    [[nodiscard]] int Open(CDecAVIAudioComp& source, const std::wstring& path);
    // The samples of frames first through last; *reached: the last frame copied.
    [[nodiscard]] int CopySamples(CDecAVIAudioComp& source, CDecAVIAudioComp* audio, int first, int last,
                                  int* reached);
    // The recompressed audio the writer owes the frames copied so far.
    [[nodiscard]] int WriteDueAudio(CDecAVIAudioComp& audio);

    CEncAVI2& m_avi;
    IExtractionHost& m_host;
    int m_audioChoice = kAudioNone;
    CMemBuffBase<unsigned char> m_sample;
    // The decoded audio, in pieces of at most 1 MiB.
    CMemBuffBase<unsigned char> m_pcm;
};
