#pragma once
// Audio compression: format suggestion, format choice and stream conversion
// between PCM and compressed audio (PCM to codec, codec to PCM, PCM to PCM).
//
// A conversion stream never writes past the destination it is given: output
// that does not fit waits inside the stream and comes out first in the next
// conversion. A conversion without ACM_STREAMCONVERTF_BLOCKALIGN ends the
// stream: the bytes given are all taken and delayed codec output is drained.
// A codec whose frames cannot be found in a run of bytes (AcmNeedsWholePackets)
// takes each conversion's source whole, as one packet of one or more frames: the
// caller hands it one container chunk at a time.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/Win32Types.h"

struct HWND__;
using HWND = HWND__*;

using MMRESULT = UINT;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_BUSY = 513;
constexpr MMRESULT ACMERR_UNPREPARED = 514;
constexpr MMRESULT ACMERR_CANCELED = 515;

constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr DWORD ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr DWORD ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;

constexpr DWORD ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;

constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x00000001;

constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_START = 0x00000010;
constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;

constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_INQUEUE = 0x00100000;

constexpr DWORD ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT = 0x00000040;
// With pwfxEnum: offer only formats that audio of that format can be converted into.
constexpr DWORD ACM_FORMATENUMF_CONVERT = 0x00100000;

// MPEG audio records carried in a WAVEFORMATEX's extra bytes.
constexpr WORD MPEGLAYER3_WFX_EXTRA_BYTES = 12;
constexpr WORD MPEG1WAVEFORMAT_EXTRA_BYTES = 22;
constexpr WORD ACM_MPEG_LAYER2 = 0x0002;
constexpr WORD ACM_MPEG_ID_MPEG1 = 0x0010;

struct AcmStream;
using HACMSTREAM = AcmStream*;
struct AcmDriver;
using HACMDRIVER = AcmDriver*;
using HACMOBJ = void*;

struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    uintptr_t dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    uintptr_t dwDstUser;
    DWORD dwReservedDriver[10];
};

struct ACMFORMATCHOOSEW {
    DWORD cbStruct;
    DWORD fdwStyle;
    HWND hwndOwner;
    WAVEFORMATEX* pwfx;  // in/out: a block of cbwfx bytes
    DWORD cbwfx;
    std::wstring title;
    DWORD fdwEnum;                  // ACM_FORMATENUMF_CONVERT or 0
    const WAVEFORMATEX* pwfxEnum;   // the source of the conversion, for ACM_FORMATENUMF_CONVERT
};

// One format the chooser can offer: its tag's name, a line describing it and
// the whole WAVEFORMATEX (extra bytes included).
struct AcmFormatDetails {
    std::wstring tagName;
    std::wstring description;
    std::vector<BYTE> format;
};

// The format-choice dialog. The user interface installs one; without it the
// choice is cancelled.
class AcmFormatChooser {
public:
    virtual ~AcmFormatChooser() = default;
    // Writes the chosen format into request.pwfx (at most request.cbwfx bytes)
    // and returns MMSYSERR_NOERROR, or ACMERR_CANCELED.
    virtual MMRESULT Choose(ACMFORMATCHOOSEW& request) = 0;
};
// Installs the chooser used by acmFormatChooseW (null removes it); returns the previous one.
AcmFormatChooser* AcmSetFormatChooser(AcmFormatChooser* chooser);

// Every format the encoders offer, each with a correct WAVEFORMATEX.
std::vector<AcmFormatDetails> AcmListFormats();
// Size of a format block: 18 + cbSize, or 16 for PCM (the PCMWAVEFORMAT form).
size_t AcmFormatBlockSize(const WAVEFORMATEX* f);
// True when the stream can decode (or pass through) audio of this format.
bool AcmCanDecode(const WAVEFORMATEX* f);
// True when a decoding stream of this format must be given whole packets (see above).
bool AcmNeedsWholePackets(const WAVEFORMATEX* f);
// True when audio of source can be turned into dest: by one stream, or through the
// PCM shape that dest's codec takes (a PCM-to-PCM stream, then the encoder).
bool AcmCanConvert(const WAVEFORMATEX* source, const WAVEFORMATEX* dest);

MMRESULT acmMetrics(HACMOBJ obj, UINT metric, void* value);
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* source, WAVEFORMATEX* dest,
                          DWORD destBytes, DWORD flags);
MMRESULT acmFormatChooseW(ACMFORMATCHOOSEW* request);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* dest, void* filter, uintptr_t callback,
                       uintptr_t instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
