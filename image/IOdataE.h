#pragma once
// The per-frame image pipeline: deinterlacing, the brightness table and clip-and-resize
// on caller-owned buffers. It holds no frame of its own.
#include "image/ImgInterlaced.h"
#include "image/ImgLumi.h"
#include "image/ImgResize.h"

class CIOdataE : public CImgInterlaced, public CImgLumi, public CImgResize {};
