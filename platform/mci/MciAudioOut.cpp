#include "platform/mci/MciAudioOut.h"

#include <algorithm>
#include <cstring>

namespace {

// Beyond these a format read from a file is not sound anyone plays, and the ring
// it would ask for is no longer small.
constexpr DWORD kMaxSamplesPerSec = 384000;
constexpr WORD kMaxChannels = 8;

bool SdlFormat(const WAVEFORMATEX& pcm, SDL_AudioFormat* format) {
    if (pcm.wFormatTag == WAVE_FORMAT_PCM) {
        switch (pcm.wBitsPerSample) {
        case 8: *format = AUDIO_U8; return true;
        case 16: *format = AUDIO_S16LSB; return true;
        case 32: *format = AUDIO_S32LSB; return true;
        default: return false;
        }
    }
    if (pcm.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && pcm.wBitsPerSample == 32) {
        *format = AUDIO_F32LSB;
        return true;
    }
    return false;
}

// About 25 ms per device pull: short enough that pausing or closing is heard at
// once, long enough not to starve on a busy machine.
Uint16 PullSamples(DWORD samplesPerSec) {
    Uint16 samples = 256;
    while (samples < 4096 && samples * 2u <= samplesPerSec / 40) samples *= 2;
    return samples;
}

}  // namespace

CMciAudioOut::~CMciAudioOut() { Close(); }

bool CMciAudioOut::Open(const WAVEFORMATEX& pcm) {
    Close();
    SDL_AudioFormat format = 0;
    if (!SdlFormat(pcm, &format)) return false;
    if (pcm.nChannels < 1 || pcm.nChannels > kMaxChannels) return false;
    if (pcm.nSamplesPerSec < 1 || pcm.nSamplesPerSec > kMaxSamplesPerSec) return false;
    const size_t blockAlign = size_t(pcm.nChannels) * pcm.wBitsPerSample / 8;
    if (pcm.nBlockAlign != blockAlign) return false;

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    m_subsystem = true;
    SDL_AudioSpec want{};
    want.freq = int(pcm.nSamplesPerSec);
    want.format = format;
    want.channels = Uint8(pcm.nChannels);
    want.samples = PullSamples(pcm.nSamplesPerSec);
    want.callback = &CMciAudioOut::Pull;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts for the hardware, so what the device takes
    // is the movie's own PCM byte for byte.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        Close();
        return false;
    }
    m_silence = have.silence;
    m_bytesPerSecond = double(pcm.nSamplesPerSec) * double(blockAlign);
    const size_t half = size_t(pcm.nSamplesPerSec / 2) * blockAlign;
    const size_t pulls = size_t(want.samples) * blockAlign * 4;
    m_ring.assign(std::max(half, pulls), 0);
    Reset();
    return true;
}

void CMciAudioOut::Close() {
    if (m_device != 0) {
        Reset();
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    if (m_subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_subsystem = false;
    m_ring.clear();
    m_ring.shrink_to_fit();
}

void CMciAudioOut::Reset() {
    Pause();
    std::lock_guard<std::mutex> lock(m_lock);
    m_head = 0;
    m_fill = 0;
    m_ended = false;
    m_takenBefore = 0;
    m_lastPull = 0;
}

void CMciAudioOut::Start() {
    if (m_device == 0) return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // Everything pulled before the pause has been played by now.
        m_takenBefore += m_lastPull;
        m_lastPull = 0;
    }
    SDL_PauseAudioDevice(m_device, 0);
}

void CMciAudioOut::Pause() {
    // SDL waits for a pull in progress, so none runs after this returns.
    if (m_device != 0) SDL_PauseAudioDevice(m_device, 1);
}

size_t CMciAudioOut::Space() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_ring.size() - m_fill;
}

void CMciAudioOut::Write(const void* data, size_t bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto* src = static_cast<const uint8_t*>(data);
    bytes = std::min(bytes, m_ring.size() - m_fill);
    while (bytes > 0) {
        const size_t tail = (m_head + m_fill) % m_ring.size();
        const size_t run = std::min(bytes, m_ring.size() - tail);
        std::memcpy(m_ring.data() + tail, src, run);
        m_fill += run;
        src += run;
        bytes -= run;
    }
}

void CMciAudioOut::MarkEnd() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ended = true;
}

double CMciAudioOut::Seconds() const {
    if (m_bytesPerSecond <= 0) return 0;
    std::lock_guard<std::mutex> lock(m_lock);
    double bytes = double(m_takenBefore);
    if (m_lastPull > 0) {
        const std::chrono::duration<double> since = std::chrono::steady_clock::now() - m_lastPullTime;
        bytes += std::min(since.count() * m_bytesPerSecond, double(m_lastPull));
    }
    return bytes / m_bytesPerSecond;
}

void SDLCALL CMciAudioOut::Pull(void* user, Uint8* stream, int len) {
    static_cast<CMciAudioOut*>(user)->Fill(stream, len > 0 ? size_t(len) : 0);
}

// A ring that runs dry before the end is an underrun: the gap is silence and the
// clock waits for the sound. After the end, the silence counts as time.
void CMciAudioOut::Fill(Uint8* stream, size_t len) {
    std::lock_guard<std::mutex> lock(m_lock);
    size_t copied = 0;
    while (copied < len && m_fill > 0) {
        const size_t run = std::min({len - copied, m_fill, m_ring.size() - m_head});
        std::memcpy(stream + copied, m_ring.data() + m_head, run);
        m_head = (m_head + run) % m_ring.size();
        m_fill -= run;
        copied += run;
    }
    std::memset(stream + copied, m_silence, len - copied);
    m_takenBefore += m_lastPull;
    m_lastPull = m_ended ? len : copied;
    m_lastPullTime = std::chrono::steady_clock::now();
}
