#pragma once
// The result codes that the readers, the writers and the view return; 0 is success.
// Users see the numbers ("Error No.%04d") and the error catalogue
// (resources/ErrorCatalogue.inc) turns each into its text in both languages, so the
// numbers never change. Every code a module returns is named here and nowhere else;
// the catalogue also holds codes that nothing in this system returns.

// X(name, code): the one list of returned codes. A code added here without a
// catalogue row and both texts fails the catalogue test.
#define TALVERN_RESULT_CODES(X)                                                           \
    X(kFailed, -1)                /* general failure; its text: frame not acquired */     \
    X(kMemory, 501)               /* no memory for a buffer or a frame */                 \
    X(kOutput, 502)               /* an output file cannot be written or made */          \
    X(kWmvAudioWrite, 809)        /* WMV writer: audio sample not taken */                \
    X(kWmvAudioPassBegin, 810)    /* WMV writer: two-pass audio cannot start */           \
    X(kWmvAudioPassEnd, 813)      /* WMV writer: the audio analysis pass did not end */   \
    X(kWmvAudioNeedsTwoPass, 814) /* WMV writer: the profile's audio needs two passes */  \
    X(kAcmOpen, 911)              /* the audio conversion stream cannot be opened */      \
    X(kFileOpen, 1002)            /* AVI reader: the file does not open */                \
    X(kFileInfo, 1003)            /* AVI reader: no file information */                   \
    X(kStreamGet, 1004)           /* AVI reader: a stream cannot be had */                \
    X(kStreamInfo, 1005)          /* AVI reader: no stream information, or zero rate */   \
    X(kNoVideoStream, 1006)       /* AVI reader: the file has no video stream */          \
    X(kStreamRead, 1007)          /* a stream sample or decoded audio cannot be read */   \
    X(kStreamFormat, 1009)        /* AVI reader: the stream format cannot be read */      \
    X(kFileCreate, 2001)          /* AVI writer: the file cannot be made */               \
    X(kStreamCreate, 2003)        /* AVI writer: a stream cannot be made */               \
    X(kCompressedStream, 2004)    /* AVI writer: the compressor cannot be set up */       \
    X(kFormat, 2005)              /* AVI writer: the stream format cannot be set */       \
    X(kStreamWrite, 2006)         /* a frame or sample cannot be written */               \
    X(kAudioRead, 2107)           /* AVI writer: the source audio cannot be read */       \
    X(kAudioWrite, 2115)          /* AVI writer: audio cannot be written */               \
    X(kSequentialStart, 2201)     /* AVI writer: the compressor does not start */         \
    X(kCompressFrame, 2202)       /* AVI writer: the compressor refuses a frame */        \
    X(kWmvProfileVersion, 3001)   /* WMV writer: system profile not available */          \
    X(kWmvOutput, 3002)           /* WMV writer: writer, profile inputs or output name */ \
    X(kWmvHeader, 3003)           /* WMV writer: input formats or start of writing */     \
    X(kWmvProfileFile, 3004)      /* WMV writer: profile file not read or not valid */    \
    X(kWmvVideoPassBegin, 3005)   /* WMV writer: two-pass video cannot start */           \
    X(kWmvVideoPassEnd, 3007)     /* WMV writer: the video analysis pass did not end */   \
    X(kWmvVideoWrite, 3008)       /* WMV writer: video sample not taken */                \
    X(kDirectShow, 5008)          /* media-detector reader: no video or no decoder */

namespace ResultCode {

#define TALVERN_RESULT_CODE_NAME(name, code) constexpr int name = code;
TALVERN_RESULT_CODES(TALVERN_RESULT_CODE_NAME)
#undef TALVERN_RESULT_CODE_NAME

// The user turned down a question or a dialog. It has no catalogue text on purpose:
// the error report shows nothing for it.
constexpr int kCancelled = -2;

#define TALVERN_RESULT_CODE_VALUE(name, code) code,
inline constexpr int kAll[] = {TALVERN_RESULT_CODES(TALVERN_RESULT_CODE_VALUE)};
#undef TALVERN_RESULT_CODE_VALUE

}  // namespace ResultCode
