// One voice stream on the PulseAudio server, read or written with time-outs.
#include "PulseStream.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

} // namespace

std::unique_ptr<PulseStream> PulseStream::Open(bool capture, const std::string& device, int periodBytes,
                                               int bufferBytes, int* error, int timeoutMs) {
    *error = PA_ERR_CONNECTIONREFUSED;
    std::unique_ptr<PulseStream> s(new PulseStream);
    s->m_capture = capture;
    s->m_loop = pa_threaded_mainloop_new();
    if (s->m_loop == nullptr)
        return nullptr;
    s->m_context = pa_context_new(pa_threaded_mainloop_get_api(s->m_loop), "TESSORA");
    if (s->m_context == nullptr)
        return nullptr;
    pa_context_set_state_callback(s->m_context, &PulseStream::OnContextState, s.get());
    if (pa_context_connect(s->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(s->m_loop) < 0)
        return nullptr;
    const auto deadline = After(timeoutMs);

    // Connected and the stream set up, or failed, or out of time.
    pa_threaded_mainloop_lock(s->m_loop);
    bool ready = false;
    for (bool streamStarted = false;;) {
        const pa_context_state_t cs = pa_context_get_state(s->m_context);
        if (!PA_CONTEXT_IS_GOOD(cs)) {
            *error = pa_context_errno(s->m_context);
            break;
        }
        if (cs == PA_CONTEXT_READY && !streamStarted) {
            streamStarted = true;
            const pa_sample_spec format{PA_SAMPLE_S16LE, 8000, 1};
            s->m_stream = pa_stream_new(s->m_context, capture ? "Microphone" : "Voice", &format, nullptr);
            if (s->m_stream == nullptr) {
                *error = pa_context_errno(s->m_context);
                break;
            }
            pa_stream_set_state_callback(s->m_stream, &PulseStream::OnStreamState, s.get());
            pa_stream_set_moved_callback(s->m_stream, &PulseStream::OnMoved, s.get());
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.prebuf = static_cast<uint32_t>(-1);
            attr.tlength = capture ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(bufferBytes);
            attr.minreq = capture ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(periodBytes);
            attr.fragsize = capture ? static_cast<uint32_t>(periodBytes) : static_cast<uint32_t>(-1);
            const char* name = device.empty() ? nullptr : device.c_str();
            const auto flags = PA_STREAM_ADJUST_LATENCY;
            if (capture) {
                pa_stream_set_read_callback(s->m_stream, &PulseStream::OnData, s.get());
                if (pa_stream_connect_record(s->m_stream, name, &attr, flags) < 0) {
                    *error = pa_context_errno(s->m_context);
                    break;
                }
            } else {
                pa_stream_set_write_callback(s->m_stream, &PulseStream::OnData, s.get());
                if (pa_stream_connect_playback(s->m_stream, name, &attr, flags, nullptr, nullptr) < 0) {
                    *error = pa_context_errno(s->m_context);
                    break;
                }
            }
        }
        if (s->m_stream != nullptr) {
            const pa_stream_state_t ss = pa_stream_get_state(s->m_stream);
            if (ss == PA_STREAM_READY) {
                ready = true;
                break;
            }
            if (!PA_STREAM_IS_GOOD(ss)) {
                *error = pa_context_errno(s->m_context);
                break;
            }
        }
        pa_threaded_mainloop_unlock(s->m_loop);
        const bool woken = s->WaitForWake(deadline);
        pa_threaded_mainloop_lock(s->m_loop);
        if (!woken) {
            *error = PA_ERR_TIMEOUT;
            break;
        }
    }
    pa_threaded_mainloop_unlock(s->m_loop);
    if (!ready)
        return nullptr; // the destructor takes down what was set up
    *error = 0;
    return s;
}

PulseStream::~PulseStream() {
    if (m_loop == nullptr)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_stream != nullptr) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context != nullptr) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseStream::Wake() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_woken = true;
    }
    m_wake.notify_one();
}

bool PulseStream::WaitForWake(Clock::time_point deadline) {
    std::unique_lock lock(m_wakeMutex);
    const bool woken = m_wake.wait_until(lock, deadline, [this] { return m_woken; });
    m_woken = false;
    return woken;
}

void PulseStream::OnContextState(pa_context*, void* self) {
    static_cast<PulseStream*>(self)->Wake();
}

void PulseStream::OnStreamState(pa_stream*, void* self) {
    static_cast<PulseStream*>(self)->Wake();
}

void PulseStream::OnData(pa_stream* stream, size_t, void* self) {
    auto* s = static_cast<PulseStream*>(self);
    // A reader waiting for a whole buffer is woken once, not once per fragment.
    if (s->m_capture && pa_stream_readable_size(stream) < s->m_want.load())
        return;
    s->Wake();
}

void PulseStream::OnMoved(pa_stream*, void* self) {
    static_cast<PulseStream*>(self)->m_moved.store(true);
}

bool PulseStream::Alive() const {
    return pa_context_get_state(m_context) == PA_CONTEXT_READY &&
           pa_stream_get_state(m_stream) == PA_STREAM_READY;
}

int PulseStream::Read(uint8_t* data, int bytes, int timeoutMs) {
    const auto deadline = After(timeoutMs);
    int got = 0;
    while (got < bytes) {
        m_want.store(static_cast<size_t>(bytes - got));
        {
            std::lock_guard lock(m_wakeMutex);
            m_woken = false; // set again by whatever arrives from here on
        }
        pa_threaded_mainloop_lock(m_loop);
        if (!Alive()) {
            pa_threaded_mainloop_unlock(m_loop);
            return -1;
        }
        // Fragments as they come; what a buffer has no room for waits for the next read.
        while (got < bytes) {
            const void* fragment = nullptr;
            size_t length = 0;
            if (pa_stream_peek(m_stream, &fragment, &length) < 0 || length == 0)
                break;
            const size_t take = std::min(length - m_fragmentOffset, static_cast<size_t>(bytes - got));
            if (fragment != nullptr)
                std::memcpy(data + got, static_cast<const uint8_t*>(fragment) + m_fragmentOffset, take);
            else
                std::memset(data + got, 0, take); // a hole in the stream plays as silence
            got += static_cast<int>(take);
            m_fragmentOffset += take;
            if (m_fragmentOffset < length)
                break; // the buffer is full
            m_fragmentOffset = 0;
            pa_stream_drop(m_stream);
        }
        pa_threaded_mainloop_unlock(m_loop);
        if (got < bytes && !WaitForWake(deadline))
            break;
    }
    m_want.store(0);
    return got;
}

int PulseStream::Write(const uint8_t* data, int bytes, int timeoutMs) {
    const auto deadline = After(timeoutMs);
    int done = 0;
    while (done < bytes) {
        {
            std::lock_guard lock(m_wakeMutex);
            m_woken = false;
        }
        pa_threaded_mainloop_lock(m_loop);
        if (!Alive()) {
            pa_threaded_mainloop_unlock(m_loop);
            return -1;
        }
        const size_t room = pa_stream_writable_size(m_stream);
        const size_t n = std::min(room, static_cast<size_t>(bytes - done));
        if (n > 0 && pa_stream_write(m_stream, data + done, n, nullptr, 0, PA_SEEK_RELATIVE) == 0)
            done += static_cast<int>(n);
        pa_threaded_mainloop_unlock(m_loop);
        if (done < bytes && !WaitForWake(deadline))
            break;
    }
    return done;
}

void PulseStream::Flush() {
    pa_threaded_mainloop_lock(m_loop);
    if (Alive()) {
        if (m_fragmentOffset > 0) {
            pa_stream_drop(m_stream);
            m_fragmentOffset = 0;
        }
        if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr))
            pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

bool PulseStream::NoSuchDevice(int error) {
    return error == PA_ERR_NOENTITY;
}
