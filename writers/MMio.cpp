#include "writers/MMio.h"

namespace {
constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr FOURCC kFact = mmioFOURCC('f', 'a', 'c', 't');
}  // namespace

CMMio::CMMio() {
    m_riff.ckid = FOURCC_RIFF;
    m_riff.fccType = kWave;
    m_fmt.ckid = kFmt;
    m_data.ckid = kData;
    m_fact.ckid = kFact;
}

CMMio::~CMMio() { Close(); }

BOOL CMMio::Fail() {
    Close();
    return FALSE;
}

BOOL CMMio::OpenWrite(const std::wstring& path, int fmtSize) {
    m_path = path;
    m_sizeLimitReached = FALSE;
    m_file = mmioOpenW(path.c_str(), nullptr, MMIO_ALLOCBUF | MMIO_CREATE | MMIO_READWRITE);
    if (!m_file) return FALSE;
    m_riff.cksize = 0;
    m_riff.fccType = kWave;
    if (mmioCreateChunk(m_file, &m_riff, MMIO_CREATERIFF) != MMIOERR_NOERROR) return Fail();
    m_fmt.ckid = kFmt;
    m_fmt.cksize = static_cast<DWORD>(fmtSize);
    if (mmioCreateChunk(m_file, &m_fmt, 0) != MMIOERR_NOERROR) return Fail();
    return TRUE;
}

BOOL CMMio::BeginData(DWORD sampleCount) {
    if (!m_file || mmioAscend(m_file, &m_fmt, 0) != MMIOERR_NOERROR) return FALSE;
    m_fact.ckid = kFact;
    m_fact.cksize = 4;
    if (mmioCreateChunk(m_file, &m_fact, 0) != MMIOERR_NOERROR) return FALSE;
    if (Write(reinterpret_cast<const char*>(&sampleCount), 4) != 4) return FALSE;
    if (mmioAscend(m_file, &m_fact, 0) != MMIOERR_NOERROR) return FALSE;
    m_data.ckid = kData;
    m_data.cksize = 0;
    if (mmioCreateChunk(m_file, &m_data, 0) != MMIOERR_NOERROR) return FALSE;
    return mmioFlush(m_file, MMIO_EMPTYBUF) == MMIOERR_NOERROR;
}

int CMMio::Write(const char* data, int count) {
    if (!m_file || count < 0) return 0;
    // One byte more is kept free for the pad byte an odd 'data' chunk gets.
    const int64_t position = mmioSeek(m_file, 0, MMIO_SEEK_CUR);
    if (position < 0) return 0;
    if (position + count + 1 > m_maxFileBytes) {
        m_sizeLimitReached = TRUE;
        return 0;
    }
    return mmioWrite(m_file, data, count) == count ? count : 0;
}

int CMMio::Read(char* data, int count) {
    if (!m_file || count < 0) return 0;
    const int64_t got = mmioRead(m_file, data, count);
    return got > 0 ? static_cast<int>(got) : 0;
}

BOOL CMMio::PatchFact(DWORD sampleCount) {
    if (!AscendAll()) return FALSE;
    if (mmioSeek(m_file, 0, MMIO_SEEK_SET) != 0) return FALSE;
    m_riff.fccType = kWave;
    if (mmioDescend(m_file, &m_riff, nullptr, MMIO_FINDRIFF) != MMIOERR_NOERROR) return FALSE;
    m_fact.ckid = kFact;
    if (mmioDescend(m_file, &m_fact, &m_riff, MMIO_FINDCHUNK) != MMIOERR_NOERROR) return FALSE;
    if (mmioWrite(m_file, reinterpret_cast<const char*>(&sampleCount), 4) != 4) return FALSE;
    m_fact.dwFlags |= MMIO_DIRTY;
    if (mmioAscend(m_file, &m_fact, 0) != MMIOERR_NOERROR) return FALSE;
    return mmioAscend(m_file, &m_riff, 0) == MMIOERR_NOERROR;
}

BOOL CMMio::AscendAll() {
    if (!m_file) return FALSE;
    if (mmioAscend(m_file, &m_data, 0) != MMIOERR_NOERROR) return FALSE;
    return mmioAscend(m_file, &m_riff, 0) == MMIOERR_NOERROR;
}

BOOL CMMio::OpenRead(const std::wstring& path) {
    m_path = path;
    m_file = mmioOpenW(path.c_str(), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (!m_file) return FALSE;
    m_riff.fccType = kWave;
    if (mmioDescend(m_file, &m_riff, nullptr, MMIO_FINDRIFF) != MMIOERR_NOERROR) return FALSE;
    m_fmt.ckid = kFmt;
    if (mmioDescend(m_file, &m_fmt, &m_riff, MMIO_FINDCHUNK) != MMIOERR_NOERROR) return FALSE;
    return m_fmt.cksize >= sizeof(PCMWAVEFORMAT) ? TRUE : FALSE;
}

BOOL CMMio::FindData() {
    if (!m_file || mmioAscend(m_file, &m_fmt, 0) != MMIOERR_NOERROR) return FALSE;
    m_data.ckid = kData;
    return mmioDescend(m_file, &m_data, &m_riff, MMIO_FINDCHUNK) == MMIOERR_NOERROR ? TRUE : FALSE;
}

void CMMio::Close() {
    if (m_file) mmioClose(m_file, 0);
    m_file = nullptr;
}
