#pragma once
// Opening an AVI file for reading (RIFF 'AVI ' and its 'AVIX' continuations).
#include "platform/avifile/AviFile.h"

HRESULT AviOpenFileForReading(PAVIFILE* file, const wchar_t* path);
