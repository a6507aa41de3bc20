#pragma once
// The encoding side of the writer: one encoder per writer input (video or audio)
// over libavcodec, and the ASF file the encoded packets go to. An encoder runs
// either as an analysis pass, which only gathers first-pass statistics, or as the
// writing pass, which may use those statistics and hands its packets to the file.
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/WmProfile.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;
struct SwsContext;
struct SwrContext;

class WmAsfFile {
public:
    WmAsfFile() = default;
    ~WmAsfFile();
    WmAsfFile(const WmAsfFile&) = delete;
    WmAsfFile& operator=(const WmAsfFile&) = delete;

    HRESULT Create(const std::string& path);
    // Adds a stream described by an opened encoder; returns its index or -1.
    int AddStream(const AVCodecContext* encoder);
    HRESULT WriteHeader();
    bool HeaderWritten() const { return m_headerWritten; }
    // Takes the packet's time stamps in the encoder's time base.
    HRESULT WritePacket(AVPacket* packet, int stream, const AVCodecContext* encoder);
    HRESULT Finish();

private:
    void Discard();
    AVFormatContext* m_ctx = nullptr;
    bool m_headerWritten = false;
};

enum class WmPassMode { Analysis, Writing };

class WmStreamEncoder {
public:
    virtual ~WmStreamEncoder();
    // stats: first-pass statistics of an earlier analysis pass, empty when there was none.
    virtual HRESULT Open(WmPassMode mode, const std::string& stats) = 0;
    virtual HRESULT Encode(const BYTE* data, DWORD size, QWORD time) = 0;
    // Drains the encoder; the object can be opened again afterwards.
    virtual HRESULT Finish() = 0;
    virtual void Close();

    const AVCodecContext* Context() const { return m_ctx; }
    // Packets of the writing pass go to this stream of the file.
    void SetOutput(WmAsfFile* file, int stream) {
        m_file = file;
        m_stream = stream;
    }
    const std::string& Stats() const { return m_stats; }

protected:
    HRESULT SendAndDrain(AVFrame* frame);
    // Last look at a packet of the writing pass before it goes to the file; false
    // drops it.
    virtual bool AdjustPacket(AVPacket*) { return true; }
    AVCodecContext* m_ctx = nullptr;
    AVPacket* m_packet = nullptr;
    WmPassMode m_mode = WmPassMode::Writing;
    std::string m_stats;      // gathered in the analysis pass
    std::string m_statsIn;    // handed to the writing pass; must outlive m_ctx
    WmAsfFile* m_file = nullptr;
    int m_stream = -1;
};

// Frames as described by a WMVIDEOINFOHEADER and its subtype.
std::unique_ptr<WmStreamEncoder> WmCreateVideoEncoder(const WmStreamConfig& config, const GUID& subtype,
                                                      const WMVIDEOINFOHEADER& format);
// PCM as described by a WAVEFORMATEX.
std::unique_ptr<WmStreamEncoder> WmCreateAudioEncoder(const WmStreamConfig& config, const WAVEFORMATEX& format);

// Whether frames of this subtype and header can be taken as input.
bool WmVideoInputSupported(const GUID& subtype, const BITMAPINFOHEADER& header);
bool WmAudioInputSupported(const WAVEFORMATEX& format);
