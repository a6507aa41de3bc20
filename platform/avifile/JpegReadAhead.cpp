#include "platform/avifile/JpegReadAhead.h"

#include <algorithm>
#include <cstring>

#include "platform/avifile/JpegFrameDecoder.h"
#include "platform/win32/Cores.h"
#include "platform/win32/ThreadRole.h"

struct JpegReadAhead::Job {
    enum class State { Idle, Queued, Decoding, Done };
    State state = State::Idle;
    int index = -1;
    bool ok = false;
    int width = 0;
    int height = 0;
    int64_t rowBytes = 0;
    std::vector<uint8_t> in;   // grown to the largest frame, then kept
    std::vector<uint8_t> out;  // shaped like the reader's rows
    JpegFrameDecoder decoder;
    std::thread thread;
};

JpegReadAhead::JpegReadAhead(int frames) {
    for (int i = 0; i < frames; ++i) m_jobs.push_back(std::make_unique<Job>());
    for (auto& job : m_jobs) job->thread = std::thread(&JpegReadAhead::Run, this, std::ref(*job));
}

JpegReadAhead::~JpegReadAhead() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    for (auto& job : m_jobs) job->thread.join();
}

int JpegReadAhead::FramesFor(int threads) {
    if (threads == 0) threads = AllowedCores();
    // The caller's thread decodes too when it finds a frame not ready.
    return std::clamp(threads - 1, 0, 4);
}

JpegReadAhead::Job* JpegReadAhead::Find(int index) {
    for (auto& job : m_jobs)
        if (job->state != Job::State::Idle && job->index == index) return job.get();
    return nullptr;
}

bool JpegReadAhead::IsStarted(int index) {
    std::lock_guard<std::mutex> hold(m_lock);
    return Find(index) != nullptr;
}

bool JpegReadAhead::HasRoom() {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto& j) { return j->state == Job::State::Idle; });
}

void JpegReadAhead::Start(int index, const uint8_t* data, size_t size, int width, int height, int64_t rowBytes,
                          const std::vector<uint8_t>& out) {
    std::unique_lock<std::mutex> hold(m_lock);
    auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [](const auto& j) { return j->state == Job::State::Idle; });
    if (it == m_jobs.end()) return;
    Job& job = **it;
    hold.unlock();
    // An idle job is the caller's alone until it is queued.
    // Room to spare: frames grow and shrink, and each job sees only some of them.
    if (job.in.capacity() < size) job.in.reserve(size + size / 2);
    job.in.assign(data, data + size);
    // Made in the shape of the reader's rows, not copied from them: only the header is
    // needed, and the rows' padding, which no decoder writes, is zero as in the reader's.
    if (job.out.size() != out.size()) job.out.assign(out.size(), 0);
    std::memcpy(job.out.data(), out.data(), std::min<size_t>(40, out.size()));  // the header
    job.index = index;
    job.width = width;
    job.height = height;
    job.rowBytes = rowBytes;
    hold.lock();
    job.state = Job::State::Queued;
    hold.unlock();
    m_wake.notify_all();
}

JpegReadAhead::Taken JpegReadAhead::Take(int index, std::vector<uint8_t>* out) {
    std::unique_lock<std::mutex> hold(m_lock);
    // Frames skipped over free their places; one still being decoded frees it later.
    for (auto& j : m_jobs)
        if (j->index < index && (j->state == Job::State::Queued || j->state == Job::State::Done)) {
            j->state = Job::State::Idle;
            j->index = -1;
        }
    Job* job = Find(index);
    if (!job) return Taken::NotStarted;
    m_done.wait(hold, [job] { return job->state == Job::State::Done; });
    const bool ok = job->ok && job->out.size() == out->size();
    if (ok) out->swap(job->out);
    job->state = Job::State::Idle;
    job->index = -1;
    return ok ? Taken::Decoded : Taken::Failed;
}

void JpegReadAhead::Clear() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (auto& job : m_jobs) {
        // A frame not yet begun is dropped at once; one being decoded is waited for.
        m_done.wait(hold, [&] { return job->state != Job::State::Decoding; });
        job->state = Job::State::Idle;
        job->index = -1;
    }
}

void JpegReadAhead::Run(Job& job) {
    NameThisThread("tv-readahead");
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [&] { return m_quit || job.state == Job::State::Queued; });
        if (m_quit) return;
        job.state = Job::State::Decoding;
        hold.unlock();
        const bool ok = job.decoder.Decode(job.in.data(), job.in.size(), job.width, job.height,
                                           job.out.data() + 40, job.rowBytes);
        hold.lock();
        job.ok = ok;
        job.state = Job::State::Done;
        m_done.notify_all();
    }
}
