#include "writers/WaveFileACM.h"

#include <cstring>

#include "foundation/PathUtil.h"

CWaveFileACM::CWaveFileACM() = default;

CWaveFileACM::~CWaveFileACM() { Close(); }

BOOL CWaveFileACM::FailOpen() {
    Close();
    return FALSE;
}

BOOL CWaveFileACM::OpenWrite(const wchar_t* path) {
    if (m_file.IsOpen() || !path) return FALSE;
    m_writing = TRUE;
    m_writeFailed = FALSE;
    if (!m_converter.PrepareWriteFormats()) return FALSE;
    // A file made here whose header cannot be written whole (a full disk) is no WAV
    // file: it is taken away again. One that was there is not the caller's to lose.
    const bool made = !FileExists(path);
    if (StartFile(path)) return TRUE;
    FailOpen();
    if (made) DeleteFileIfExists(path);
    return FALSE;
}

bool CWaveFileACM::StartFile(const wchar_t* path) {
    const int fmtSize = m_converter.GetTargetFormatSize();
    if (!m_file.OpenWrite(path, fmtSize)) return false;
    const bool converting = m_converter.GetTargetFormat() != m_converter.GetSourceFormat();
    const auto* format = reinterpret_cast<const char*>(m_converter.GetTargetFormat());
    return m_file.Write(format, fmtSize) == fmtSize &&
           (!converting || m_converter.OpenWriteStreams()) &&
           m_file.BeginData(static_cast<DWORD>(m_converter.GetBytesDone()));
}

int CWaveFileACM::Write(const void* data, int bytes) {
    if (!m_file.IsOpen() || !m_writing) return 0;
    if (m_writeFailed) return -1;
    const int taken = m_converter.Write(data, bytes, MMioWriteCallback, this);
    if (taken == -1) m_writeFailed = TRUE;
    return taken;
}

int CWaveFileACM::WriteRaw(const void* data, int bytes) {
    if (!m_file.IsOpen() || !m_writing) return 0;
    if (m_writeFailed) return -1;
    const int taken = m_converter.WriteUnconverted(data, bytes, MMioWriteCallback, this);
    if (taken == -1) m_writeFailed = TRUE;
    return taken;
}

void CWaveFileACM::Close() {
    if (m_file.IsOpen()) {
        if (m_writing) {
            // The sizes and the sample count are written whatever the last conversion
            // did, so that the file holds what reached it and stays readable.
            if (!m_writeFailed) m_converter.Flush(MMioWriteCallback, this);
            m_file.PatchFact(static_cast<DWORD>(m_converter.GetSampleCount()));
        } else {
            m_file.AscendAll();
        }
    }
    m_file.Close();
    m_converter.Clear();
}

BOOL CWaveFileACM::OpenRead(const wchar_t* path) {
    if (m_file.IsOpen() || !path) return FALSE;
    m_writing = FALSE;
    if (!m_file.OpenRead(path)) return FailOpen();
    WAVEFORMATEX* source = m_converter.GetSourceFormat();
    *source = WAVEFORMATEX{};
    if (m_file.Read(reinterpret_cast<char*>(source), sizeof(PCMWAVEFORMAT)) != sizeof(PCMWAVEFORMAT))
        return FailOpen();
    if (source->wFormatTag == WAVE_FORMAT_PCM) {
        source->cbSize = 0;
    } else {
        // The extra bytes must lie inside the 'fmt ' chunk.
        if (m_file.GetFmtSize() < static_cast<int>(sizeof(WAVEFORMATEX))) return FailOpen();
        if (m_file.Read(reinterpret_cast<char*>(&source->cbSize), 2) != 2) return FailOpen();
        const int whole = static_cast<int>(sizeof(WAVEFORMATEX)) + source->cbSize;
        if (whole > m_file.GetFmtSize()) return FailOpen();
        HGLOBAL* target = m_converter.TargetFormatRef();
        if (*target) GlobalFree(*target);
        *target = GlobalAlloc(GMEM_FIXED, static_cast<size_t>(whole));
        if (!*target) return FailOpen();
        auto* block = static_cast<char*>(GlobalLock(*target));
        std::memcpy(block, source, sizeof(WAVEFORMATEX));
        if (source->cbSize > 0 && m_file.Read(block + sizeof(WAVEFORMATEX), source->cbSize) != source->cbSize)
            return FailOpen();
        if (!m_converter.OpenReadStream()) return FailOpen();
    }
    if (!m_file.FindData()) return FailOpen();
    m_converter.SetBytesDone(0);
    m_converter.SetReadLimit(m_file.GetDataSize());
    return TRUE;
}

int CWaveFileACM::Read(void* buffer, int bytes) {
    if (!m_file.IsOpen() || m_writing) return 0;
    return m_converter.Read(buffer, bytes, MMioReadCallback, this);
}

int CWaveFileACM::MMioWriteCallback(const void* data, int bytes, void* user) {
    auto* self = static_cast<CWaveFileACM*>(user);
    if (self->m_file.Write(static_cast<const char*>(data), bytes) != bytes) {
        self->m_writeFailed = TRUE;
        return -1;
    }
    return bytes;
}

int CWaveFileACM::MMioReadCallback(void* data, int bytes, void* user) {
    return static_cast<CWaveFileACM*>(user)->m_file.Read(static_cast<char*>(data), bytes);
}
