#pragma once
// The audio extraction: the audio from the current frame, or of the range, into
// "<title>_audio.wav", recompressed with the volume applied or copied as it is. It
// moves in pieces; the view follows it through IExtractionHost.
#include <cstdint>
#include <string>

#include "app/ExtractionHost.h"
#include "foundation/MemBuffBase.h"

class CDecAVIAudioComp;
class CTALVERNDoc;
class CWaveFileACM;

class CAudioExtraction {
public:
    // How an extraction ended. Done covers a cancel at any question; NotWritten is a
    // failure before the file held anything; ReadFailed is audio that stopped decoding;
    // after WriteFailed, LimitReached and ReadFailed the file holds what came before.
    enum class Outcome { Done, WriteFailed, LimitReached, NotWritten, ReadFailed };

    explicit CAudioExtraction(IExtractionHost& host) : m_host(host) {}
    CAudioExtraction(const CAudioExtraction&) = delete;
    CAudioExtraction& operator=(const CAudioExtraction&) = delete;

    // Asks its questions and writes the file, named in *path once chosen. doc's movie
    // has an audio stream.
    Outcome Run(CTALVERNDoc& doc, const ViewSpan& view, std::wstring* path);

private:
    // The frames and the audio samples the file takes; the view's position and range
    // follow the frames.
    void ChooseSpan(const ViewSpan& view, int* startSample, int* endSample);
    // The frame at a time in seconds within the span.
    int FrameAt(double seconds) const;
    // Done, WriteFailed or ReadFailed.
    Outcome TransferPcm(CWaveFileACM& wav, int64_t total);
    bool TransferRaw(CWaveFileACM& wav, int endSample);

    IExtractionHost& m_host;
    // The document and its audio of the extraction under way; the volume is read as
    // each piece is written.
    CTALVERNDoc* m_doc = nullptr;
    CDecAVIAudioComp* m_audio = nullptr;
    int m_audioChoice = kAudioNone;
    // The span's first and last frames and the movie's frame rate.
    int m_startFrame = 0;
    int m_endFrame = 0;
    double m_rate = 0.0;
    CMemBuffBase<unsigned char> m_buffer;
};
