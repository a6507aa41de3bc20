#include "platform/wmf/WmWriter.h"

#include <algorithm>

#include "platform/wmf/WmEncoder.h"
#include "platform/win32/WideChar.h"

namespace {

constexpr ULONG kMaxFormatBytes = 4096;
constexpr DWORD kMaxSampleBytes = 256u << 20;
constexpr size_t kSamplePool = 4;

// A bit-rate-driven VBR stream cannot be encoded without its analysis pass.
bool NeedsAnalysis(const WmStreamConfig& c) { return c.vbr && c.vbrQuality == 0; }

}  // namespace

struct IWMWriter::Input {
    WmStreamConfig config;
    WM_MEDIA_TYPE type{};
    std::vector<BYTE> format;
    bool typed = false;
    std::unique_ptr<WmStreamEncoder> encoder;
    Pass pass = Pass::None;
    std::string stats;
};

// ---------------------------------------------------------------- input properties

IWMInputMediaProps::IWMInputMediaProps(const GUID& major) { m_type.majortype = major; }

HRESULT IWMInputMediaProps::GetType(GUID* type) const {
    if (!type) return E_POINTER;
    *type = m_type.majortype;
    return S_OK;
}

HRESULT IWMInputMediaProps::SetMediaType(const WM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (type->cbFormat > kMaxFormatBytes || (type->cbFormat && !type->pbFormat)) return E_INVALIDARG;
    m_format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
    m_type = *type;
    m_type.pUnk = nullptr;
    m_type.pbFormat = nullptr;  // the copy in m_format is the one that counts
    m_hasType = true;
    return S_OK;
}

// ---------------------------------------------------------------- sample buffers

HRESULT INSSBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
    if (!buffer || !length) return E_POINTER;
    *buffer = m_bytes.data();
    *length = m_length;
    return S_OK;
}

HRESULT INSSBuffer::GetMaxLength(DWORD* length) const {
    if (!length) return E_POINTER;
    *length = static_cast<DWORD>(m_bytes.size());
    return S_OK;
}

HRESULT INSSBuffer::SetLength(DWORD length) {
    if (length > m_bytes.size()) return E_INVALIDARG;
    m_length = length;
    return S_OK;
}

// ---------------------------------------------------------------- preprocessing

IWMWriterPreprocess::IWMWriterPreprocess(IWMWriter* writer) : m_writer(writer) { m_writer->AddRef(); }
IWMWriterPreprocess::~IWMWriterPreprocess() { m_writer->Release(); }

HRESULT IWMWriterPreprocess::GetMaxPreprocessingPasses(DWORD input, DWORD, DWORD* passes) {
    return m_writer->GetMaxPasses(input, passes);
}
HRESULT IWMWriterPreprocess::SetNumPreprocessingPasses(DWORD input, DWORD, DWORD passes) {
    return m_writer->SetPasses(input, passes);
}
HRESULT IWMWriterPreprocess::BeginPreprocessingPass(DWORD input, DWORD) { return m_writer->BeginAnalysis(input); }
HRESULT IWMWriterPreprocess::PreprocessSample(DWORD input, QWORD time, DWORD, INSSBuffer* sample) {
    return m_writer->Analyse(input, time, sample);
}
HRESULT IWMWriterPreprocess::EndPreprocessingPass(DWORD input, DWORD) { return m_writer->EndAnalysis(input); }

// ---------------------------------------------------------------- writer

HRESULT WMCreateWriter(void*, IWMWriter** writer) {
    if (!writer) return E_POINTER;
    *writer = new IWMWriter;
    return S_OK;
}

IWMWriter::IWMWriter() = default;

IWMWriter::~IWMWriter() {
    Reset();
    WmSafeRelease(m_profile);
    for (INSSBuffer* s : m_spareSamples) s->Release();
}

HRESULT IWMWriter::QueryInterface(WmInterface iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == WmInterface::WriterPreprocess) {
        *out = new IWMWriterPreprocess(this);
        return S_OK;
    }
    if (iid != WmInterface::Unknown && iid != WmInterface::Writer) return E_NOINTERFACE;
    AddRef();
    *out = this;
    return S_OK;
}

IWMWriter::Input* IWMWriter::Find(DWORD input) {
    return input < m_inputs.size() ? m_inputs[input].get() : nullptr;
}

bool IWMWriter::AnalysisRunning() const {
    return std::any_of(m_inputs.begin(), m_inputs.end(), [](const auto& in) { return in->pass == Pass::Running; });
}

HRESULT IWMWriter::SetProfile(IWMProfile* profile) {
    if (!profile) return E_POINTER;
    if (m_writing) return WMF_E_INVALID_REQUEST;
    profile->AddRef();
    WmSafeRelease(m_profile);
    m_profile = profile;
    m_inputs.clear();
    // One input per media type; of several streams of one type (a multiple-bit-rate
    // profile) the one with the highest rate is written.
    for (const WmStreamConfig& s : profile->streams) {
        auto same = std::find_if(m_inputs.begin(), m_inputs.end(),
                                 [&](const auto& in) { return in->config.majorType == s.majorType; });
        if (same == m_inputs.end()) {
            m_inputs.push_back(std::make_unique<Input>());
            m_inputs.back()->config = s;
        } else if (s.bitrate > (*same)->config.bitrate) {
            (*same)->config = s;
        }
    }
    return S_OK;
}

HRESULT IWMWriter::SetOutputFilename(const wchar_t* path) {
    if (!path || !*path) return E_INVALIDARG;
    if (m_writing) return WMF_E_INVALID_REQUEST;
    m_path = path;
    return S_OK;
}

HRESULT IWMWriter::GetInputCount(DWORD* count) const {
    if (!count) return E_POINTER;
    if (!m_profile) return WMF_E_INVALID_REQUEST;
    *count = static_cast<DWORD>(m_inputs.size());
    return S_OK;
}

HRESULT IWMWriter::GetInputProps(DWORD input, IWMInputMediaProps** props) {
    if (!props) return E_POINTER;
    *props = nullptr;
    Input* in = Find(input);
    if (!in) return E_INVALIDARG;
    auto* p = new IWMInputMediaProps(in->config.majorType);
    if (in->typed) {
        WM_MEDIA_TYPE t = in->type;
        t.pbFormat = in->format.data();
        p->SetMediaType(&t);
    }
    *props = p;
    return S_OK;
}

HRESULT IWMWriter::SetInputProps(DWORD input, IWMInputMediaProps* props) {
    Input* in = Find(input);
    if (!in || !props) return E_INVALIDARG;
    if (m_writing) return WMF_E_INVALID_REQUEST;
    if (!props->HasMediaType()) return WMF_E_INVALID_INPUT_FORMAT;
    const WM_MEDIA_TYPE& t = props->MediaType();
    const std::vector<BYTE>& f = props->Format();
    bool ok = false;
    if (in->config.Kind() == WmStreamKind::Video && t.majortype == WMMEDIATYPE_Video &&
        t.formattype == WMFORMAT_VideoInfo && f.size() >= sizeof(WMVIDEOINFOHEADER)) {
        WMVIDEOINFOHEADER vih;
        std::memcpy(&vih, f.data(), sizeof vih);
        ok = WmVideoInputSupported(t.subtype, vih.bmiHeader);
    } else if (in->config.Kind() == WmStreamKind::Audio && t.majortype == WMMEDIATYPE_Audio &&
               t.subtype == WMMEDIASUBTYPE_PCM && t.formattype == WMFORMAT_WaveFormatEx &&
               f.size() >= sizeof(WAVEFORMATEX)) {
        WAVEFORMATEX wfx;
        std::memcpy(&wfx, f.data(), sizeof wfx);
        ok = WmAudioInputSupported(wfx);
    }
    if (!ok) return WMF_E_INVALID_INPUT_FORMAT;
    in->type = t;
    in->format = f;
    in->typed = true;
    return S_OK;
}

HRESULT IWMWriter::BeginWriting() {
    if (m_writing) return WMF_E_INVALID_REQUEST;
    if (!m_profile || m_path.empty() || m_inputs.empty()) return WMF_E_INVALID_REQUEST;
    for (const auto& in : m_inputs) {
        if (!in->typed) return WMF_E_INVALID_INPUT_FORMAT;
    }
    for (const auto& in : m_inputs) {
        if (in->config.Kind() == WmStreamKind::Video) {
            WMVIDEOINFOHEADER vih;
            std::memcpy(&vih, in->format.data(), sizeof vih);
            in->encoder = WmCreateVideoEncoder(in->config, in->type.subtype, vih);
        } else {
            WAVEFORMATEX wfx;
            std::memcpy(&wfx, in->format.data(), sizeof wfx);
            in->encoder = WmCreateAudioEncoder(in->config, wfx);
        }
        in->pass = Pass::None;
        in->stats.clear();
    }
    m_file = std::make_unique<WmAsfFile>();
    const HRESULT hr = m_file->Create(WideToUtf8(m_path));
    if (FAILED(hr)) {
        Reset();
        return hr;
    }
    m_writing = true;
    m_fileStarted = false;
    return S_OK;
}

// Opens the writing pass of every input and writes the file header. Deferred to the
// first written sample so that analysis passes can run before it.
HRESULT IWMWriter::StartFile() {
    if (m_fileStarted) return S_OK;
    for (const auto& in : m_inputs) {
        HRESULT hr = in->encoder->Open(WmPassMode::Writing, in->stats);
        if (FAILED(hr)) return hr;
        const int stream = m_file->AddStream(in->encoder->Context());
        if (stream < 0) return E_FAIL;
        in->encoder->SetOutput(m_file.get(), stream);
    }
    const HRESULT hr = m_file->WriteHeader();
    if (SUCCEEDED(hr)) m_fileStarted = true;
    return hr;
}

HRESULT IWMWriter::AllocateSample(DWORD size, INSSBuffer** sample) {
    if (!sample) return E_POINTER;
    *sample = nullptr;
    if (size > kMaxSampleBytes) return E_OUTOFMEMORY;
    // A kept buffer whose only reference is ours is free to hand out again; when all
    // are in use the sample gets a buffer of its own.
    INSSBuffer* s = nullptr;
    for (INSSBuffer* spare : m_spareSamples) {
        if (spare->RefCount() == 1) {
            s = spare;
            break;
        }
    }
    if (!s && m_spareSamples.size() < kSamplePool) {
        s = new INSSBuffer;
        m_spareSamples.push_back(s);
    }
    if (s) {
        s->AddRef();
    } else {
        s = new INSSBuffer;
    }
    if (s->m_bytes.size() < size) s->m_bytes.resize(size);
    s->m_length = size;
    *sample = s;
    return S_OK;
}

HRESULT IWMWriter::WriteSample(DWORD input, QWORD time, DWORD, INSSBuffer* sample) {
    Input* in = Find(input);
    if (!in || !sample) return E_INVALIDARG;
    if (!m_writing || AnalysisRunning() || in->pass == Pass::Wanted) return WMF_E_INVALID_REQUEST;
    if (NeedsAnalysis(in->config) && in->pass != Pass::Done) return WMF_E_NEEDS_ANALYSIS_PASS;
    HRESULT hr = StartFile();
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    return in->encoder->Encode(data, length, time);
}

HRESULT IWMWriter::EndWriting() {
    if (!m_writing) return WMF_E_INVALID_REQUEST;
    HRESULT result = S_OK;
    auto keep = [&](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    };
    for (const auto& in : m_inputs) {
        if (in->pass == Pass::Running) in->encoder->Close();
    }
    keep(StartFile());
    if (m_fileStarted) {
        for (const auto& in : m_inputs) keep(in->encoder->Finish());
    }
    keep(m_file->Finish());
    Reset();
    return result;
}

void IWMWriter::Reset() {
    for (const auto& in : m_inputs) {
        in->encoder.reset();
        in->pass = Pass::None;
        in->stats.clear();
    }
    m_file.reset();
    m_writing = false;
    m_fileStarted = false;
}

HRESULT IWMWriter::GetMaxPasses(DWORD input, DWORD* passes) {
    if (!passes) return E_POINTER;
    if (!Find(input)) return E_INVALIDARG;
    *passes = 1;
    return S_OK;
}

HRESULT IWMWriter::SetPasses(DWORD input, DWORD passes) {
    Input* in = Find(input);
    if (!in) return E_INVALIDARG;
    if (passes > 1) return E_INVALIDARG;
    if (!m_writing || m_fileStarted || in->pass == Pass::Running) return WMF_E_INVALID_REQUEST;
    in->pass = passes ? Pass::Wanted : Pass::None;
    return S_OK;
}

HRESULT IWMWriter::BeginAnalysis(DWORD input) {
    Input* in = Find(input);
    if (!in) return E_INVALIDARG;
    if (!m_writing || in->pass != Pass::Wanted) return WMF_E_INVALID_REQUEST;
    const HRESULT hr = in->encoder->Open(WmPassMode::Analysis, std::string());
    if (FAILED(hr)) return hr;
    in->pass = Pass::Running;
    return S_OK;
}

HRESULT IWMWriter::Analyse(DWORD input, QWORD time, INSSBuffer* sample) {
    Input* in = Find(input);
    if (!in || !sample) return E_INVALIDARG;
    if (in->pass != Pass::Running) return WMF_E_INVALID_REQUEST;
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    return in->encoder->Encode(data, length, time);
}

HRESULT IWMWriter::EndAnalysis(DWORD input) {
    Input* in = Find(input);
    if (!in) return E_INVALIDARG;
    if (in->pass != Pass::Running) return WMF_E_INVALID_REQUEST;
    const HRESULT hr = in->encoder->Finish();
    in->stats = in->encoder->Stats();
    in->encoder->Close();
    in->pass = Pass::Done;
    return hr;
}
