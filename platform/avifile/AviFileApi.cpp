// The library's calls: argument checks, then the handle's own operation.
#include <atomic>
#include <cstring>

#include "platform/avifile/AviFile.h"
#include "platform/avifile/AviReadFile.h"
#include "platform/avifile/AviFrameDecoder.h"

namespace {
std::atomic<int> g_initCount{0};
}

void AVIFileInit() { ++g_initCount; }
void AVIFileExit() { --g_initCount; }

HRESULT AVIFileOpenW(PAVIFILE* file, const wchar_t* path, UINT mode, void* handler) {
    if (!file) return AVIERR_BADPARAM;
    *file = nullptr;
    if (!path || handler) return AVIERR_BADPARAM;
    if (mode & (OF_CREATE | OF_WRITE | OF_READWRITE)) return AviOpenFileForWriting(file, path, mode);
    return AviOpenFileForReading(file, path);
}

HRESULT AVIFileInfoW(PAVIFILE file, AVIFILEINFOW* info, LONG size) {
    if (!file) return AVIERR_BADHANDLE;
    if (!info || size < 0) return AVIERR_BADPARAM;
    return file->Info(info, size);
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD fccType, LONG param) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    if (!file) return AVIERR_BADHANDLE;
    return file->GetStream(stream, fccType, param);
}

HRESULT AVIFileCreateStreamW(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOW* info) {
    if (!stream) return AVIERR_BADPARAM;
    *stream = nullptr;
    if (!file) return AVIERR_BADHANDLE;
    if (!info) return AVIERR_BADPARAM;
    return file->CreateStream(stream, info);
}

DWORD AVIFileRelease(PAVIFILE file) { return file ? file->Release() : 0; }

HRESULT AVIStreamInfoW(PAVISTREAM stream, AVISTREAMINFOW* info, LONG size) {
    if (!stream) return AVIERR_BADHANDLE;
    if (!info || size < 0) return AVIERR_BADPARAM;
    return stream->Info(info, size);
}

HRESULT AVIStreamReadFormat(PAVISTREAM stream, LONG pos, void* format, LONG* size) {
    if (!stream) return AVIERR_BADHANDLE;
    if (!size) return AVIERR_BADPARAM;
    return stream->ReadFormat(pos, format, size);
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG pos, const void* format, LONG size) {
    if (!stream) return AVIERR_BADHANDLE;
    if (!format || size <= 0) return AVIERR_BADPARAM;
    return stream->SetFormat(pos, format, size);
}

HRESULT AVIStreamRead(PAVISTREAM stream, LONG start, LONG samples, void* buffer, LONG bufferBytes,
                      LONG* bytes, LONG* samplesRead) {
    if (!stream) return AVIERR_BADHANDLE;
    if (bufferBytes < 0 || (buffer == nullptr && bufferBytes != 0)) return AVIERR_BADPARAM;
    LONG b = 0;
    LONG s = 0;
    const HRESULT hr = stream->Read(start, samples, buffer, bufferBytes, &b, &s);
    if (bytes) *bytes = b;
    if (samplesRead) *samplesRead = s;
    return hr;
}

HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer, LONG bytes,
                       DWORD flags, LONG* samplesWritten, LONG* bytesWritten) {
    if (!stream) return AVIERR_BADHANDLE;
    if (bytes < 0 || (buffer == nullptr && bytes != 0)) return AVIERR_BADPARAM;
    LONG s = 0;
    LONG b = 0;
    const HRESULT hr = stream->Write(start, samples, buffer, bytes, flags, &s, &b);
    if (samplesWritten) *samplesWritten = s;
    if (bytesWritten) *bytesWritten = b;
    return hr;
}

LONG AVIStreamFindSample(PAVISTREAM stream, LONG pos, LONG flags) {
    return stream ? stream->FindSample(pos, flags) : -1;
}

LONG AVIStreamStart(PAVISTREAM stream) { return stream ? stream->Start() : -1; }
LONG AVIStreamLength(PAVISTREAM stream) { return stream ? stream->Length() : -1; }
DWORD AVIStreamRelease(PAVISTREAM stream) { return stream ? stream->Release() : 0; }

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted) {
    if (!stream || wanted) return nullptr;
    return OpenFrameDecoder(stream);
}

void* AVIStreamGetFrame(PGETFRAME getFrame, LONG pos) {
    return getFrame ? getFrame->GetFrame(pos) : nullptr;
}

HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame) {
    if (!getFrame) return AVIERR_BADHANDLE;
    getFrame->Release();
    return AVIERR_OK;
}
