#include "platform/avifile/AviFrameDecoder.h"

PGETFRAME OpenFrameDecoder(PAVISTREAM) { return nullptr; }
