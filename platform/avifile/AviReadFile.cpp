#include "platform/avifile/AviReadFile.h"

HRESULT AviOpenFileForReading(PAVIFILE* file, const wchar_t*) {
    *file = nullptr;
    return AVIERR_FILEOPEN;
}
