#pragma once
// The reader as the image file worker's frame source: a frame it delivered unchanged
// goes to the worker with the storage it is in, as in the program's run.
#include "image/ImageFileWorker.h"
#include "readers/DecMovie.h"

class CReaderFrameSource : public CImageFileWorker::FrameSource {
public:
    explicit CReaderFrameSource(CDecMovie& reader) : m_reader(reader) {}
    bool GiveFrame(const BYTE* bits, int64_t bytes, std::vector<uint8_t>* storage, size_t* rowsAt) override {
        return m_reader.TradeFrame(bits, bytes, storage, rowsAt);
    }

private:
    CDecMovie& m_reader;
};
