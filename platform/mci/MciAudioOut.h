#pragma once
// CMciAudioOut: the sound of one open movie. An SDL audio device pulls PCM from a
// ring that the play thread fills; the bytes the device has taken are the clock the
// pictures follow. Once the movie's sound has run out the device takes silence and
// the clock runs on, so a movie whose sound is shorter than its pictures still plays
// to its end.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include <SDL.h>

#include "platform/win32/Win32Types.h"

class CMciAudioOut {
public:
    CMciAudioOut() = default;
    ~CMciAudioOut();
    CMciAudioOut(const CMciAudioOut&) = delete;
    CMciAudioOut& operator=(const CMciAudioOut&) = delete;

    // Opens a device for this PCM format, paused. False, with nothing held, when SDL
    // takes no such format or no device can be opened.
    bool Open(const WAVEFORMATEX& pcm);
    // Silences the device at once, closes it and leaves SDL's audio.
    void Close();
    bool IsOpen() const { return m_device != 0; }

    // Pauses the device, empties the ring and sets the clock back to zero.
    void Reset();
    void Start();
    // The device plays silence from its next buffer on and the clock holds.
    void Pause();

    // Bytes the ring takes now.
    size_t Space() const;
    void Write(const void* data, size_t bytes);
    // No more sound comes: the device pads with silence and the clock keeps going.
    void MarkEnd();

    // Seconds of sound the device has taken since Reset, smoothed between its pulls.
    double Seconds() const;

private:
    // Off the UI thread: SDL's own audio thread pulls, under m_lock.
    static void SDLCALL Pull(void* user, Uint8* stream, int len);
    void Fill(Uint8* stream, size_t len);

    SDL_AudioDeviceID m_device = 0;
    bool m_subsystem = false;
    uint8_t m_silence = 0;
    double m_bytesPerSecond = 0;

    mutable std::mutex m_lock;
    std::vector<uint8_t> m_ring;
    size_t m_head = 0;  // first byte waiting
    size_t m_fill = 0;  // bytes waiting
    bool m_ended = false;
    uint64_t m_takenBefore = 0;  // counted bytes before the latest pull
    uint64_t m_lastPull = 0;     // counted bytes of the latest pull
    std::chrono::steady_clock::time_point m_lastPullTime{};
};
