#pragma once
// The Windows Media writer: takes a profile, one input per media type of the
// profile (uncompressed video frames, PCM audio), and writes an ASF file. With
// preprocessing passes set, each input first runs an analysis pass whose samples
// reach no file; the writing pass then encodes with what the analysis learned.
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/WmProfile.h"

class WmStreamEncoder;
class WmAsfFile;
class IWMWriter;

// Properties of one writer input: its media type and, once set, its format.
class IWMInputMediaProps : public IWmUnknown {
public:
    HRESULT GetType(GUID* type) const;
    // Copies the type and its format block (at most 4096 bytes).
    HRESULT SetMediaType(const WM_MEDIA_TYPE* type);
    const WM_MEDIA_TYPE& MediaType() const { return m_type; }
    const std::vector<BYTE>& Format() const { return m_format; }
    bool HasMediaType() const { return m_hasType; }

private:
    friend class IWMWriter;
    explicit IWMInputMediaProps(const GUID& major);
    ~IWMInputMediaProps() override = default;
    WM_MEDIA_TYPE m_type{};
    std::vector<BYTE> m_format;
    bool m_hasType = false;
};

// One sample's bytes. The writer keeps released buffers for reuse.
class INSSBuffer : public IWmUnknown {
public:
    HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length);
    HRESULT GetMaxLength(DWORD* length) const;
    HRESULT SetLength(DWORD length);

private:
    friend class IWMWriter;
    INSSBuffer() = default;
    ~INSSBuffer() override = default;
    std::vector<BYTE> m_bytes;
    DWORD m_length = 0;
};

class IWMWriterPreprocess : public IWmUnknown {
public:
    HRESULT GetMaxPreprocessingPasses(DWORD input, DWORD flags, DWORD* passes);
    HRESULT SetNumPreprocessingPasses(DWORD input, DWORD flags, DWORD passes);
    HRESULT BeginPreprocessingPass(DWORD input, DWORD flags);
    HRESULT PreprocessSample(DWORD input, QWORD time, DWORD flags, INSSBuffer* sample);
    HRESULT EndPreprocessingPass(DWORD input, DWORD flags);

private:
    friend class IWMWriter;
    explicit IWMWriterPreprocess(IWMWriter* writer);
    ~IWMWriterPreprocess() override;
    IWMWriter* m_writer;
};

class IWMWriter : public IWmUnknown {
public:
    HRESULT QueryInterface(WmInterface iid, void** out) override;
    HRESULT SetProfile(IWMProfile* profile);
    HRESULT SetOutputFilename(const wchar_t* path);
    HRESULT GetInputCount(DWORD* count) const;
    HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props);
    HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props);
    HRESULT BeginWriting();
    HRESULT AllocateSample(DWORD size, INSSBuffer** sample);
    HRESULT WriteSample(DWORD input, QWORD time, DWORD flags, INSSBuffer* sample);
    HRESULT EndWriting();

private:
    friend class IWMWriterPreprocess;
    friend HRESULT WMCreateWriter(void* reserved, IWMWriter** writer);
    enum class Pass { None, Wanted, Running, Done };
    struct Input;

    IWMWriter();
    ~IWMWriter() override;
    Input* Find(DWORD input);
    bool AnalysisRunning() const;
    HRESULT StartFile();
    void Reset();

    HRESULT GetMaxPasses(DWORD input, DWORD* passes);
    HRESULT SetPasses(DWORD input, DWORD passes);
    HRESULT BeginAnalysis(DWORD input);
    HRESULT Analyse(DWORD input, QWORD time, INSSBuffer* sample);
    HRESULT EndAnalysis(DWORD input);

    IWMProfile* m_profile = nullptr;
    std::vector<std::unique_ptr<Input>> m_inputs;
    std::wstring m_path;
    std::unique_ptr<WmAsfFile> m_file;
    bool m_writing = false;
    bool m_fileStarted = false;
    std::vector<INSSBuffer*> m_spareSamples;
};

HRESULT WMCreateWriter(void* reserved, IWMWriter** writer);
