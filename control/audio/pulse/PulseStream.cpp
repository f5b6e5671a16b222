// SPDX-License-Identifier: GPL-3.0-or-later
// One voice stream on the PulseAudio server, read or written with time-outs.
#include "PulseStream.h"

#include "DeviceWake.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

} // namespace

std::unique_ptr<PulseStream> PulseStream::Open(bool capture, const std::string& device, int rate,
                                               int periodBytes,
                                               int bufferBytes, int* error, const DeviceWake* wake,
                                               int timeoutMs) {
    *error = PA_ERR_CONNECTIONREFUSED;
    std::unique_ptr<PulseStream> s(new PulseStream);
    s->m_capture = capture;
    s->m_loop = pa_mainloop_new();
    if (s->m_loop == nullptr)
        return nullptr;
    pa_mainloop_api* api = pa_mainloop_get_api(s->m_loop);
    s->m_wake = wake;
    // Readable while raised, so the poll of any wait returns at once; nothing to handle.
    if (wake != nullptr && wake->Descriptor() >= 0)
        s->m_wakeEvent = api->io_new(api, wake->Descriptor(), PA_IO_EVENT_INPUT,
                                     [](pa_mainloop_api*, pa_io_event*, int, pa_io_event_flags_t, void*) {},
                                     nullptr);
    s->m_context = pa_context_new(api, "TESSORA");
    if (s->m_context == nullptr)
        return nullptr;
    if (pa_context_connect(s->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return nullptr;
    const auto deadline = After(timeoutMs);

    // Connected and the stream set up, or failed, or out of time.
    bool ready = false;
    for (bool streamStarted = false;;) {
        const pa_context_state_t cs = pa_context_get_state(s->m_context);
        if (!PA_CONTEXT_IS_GOOD(cs)) {
            *error = pa_context_errno(s->m_context);
            break;
        }
        if (cs == PA_CONTEXT_READY && !streamStarted) {
            streamStarted = true;
            const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<uint32_t>(rate), 1};
            s->m_stream = pa_stream_new(s->m_context, capture ? "Microphone" : "Voice", &format, nullptr);
            if (s->m_stream == nullptr) {
                *error = pa_context_errno(s->m_context);
                break;
            }
            pa_stream_set_moved_callback(s->m_stream, &PulseStream::OnMoved, s.get());
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.prebuf = static_cast<uint32_t>(-1);
            attr.tlength = capture ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(bufferBytes);
            attr.minreq = capture ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(periodBytes);
            attr.fragsize = capture ? static_cast<uint32_t>(periodBytes) : static_cast<uint32_t>(-1);
            const char* name = device.empty() ? nullptr : device.c_str();
            const auto flags = PA_STREAM_ADJUST_LATENCY;
            const int rc = capture ? pa_stream_connect_record(s->m_stream, name, &attr, flags)
                                   : pa_stream_connect_playback(s->m_stream, name, &attr, flags, nullptr, nullptr);
            if (rc < 0) {
                *error = pa_context_errno(s->m_context);
                break;
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
        if (s->WakeRaised() || !s->RunUntil(deadline)) {
            *error = PA_ERR_TIMEOUT;
            break;
        }
    }
    if (!ready)
        return nullptr; // the destructor takes down what was set up
    *error = 0;
    return s;
}

PulseStream::~PulseStream() {
    if (m_loop == nullptr)
        return;
    if (m_stream != nullptr) {
        pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context != nullptr) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_wakeEvent != nullptr)
        pa_mainloop_get_api(m_loop)->io_free(m_wakeEvent);
    pa_mainloop_free(m_loop);
}

bool PulseStream::RunUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    return pa_mainloop_prepare(m_loop, static_cast<int>(left.count())) >= 0 && pa_mainloop_poll(m_loop) >= 0 &&
           pa_mainloop_dispatch(m_loop) >= 0;
}

bool PulseStream::WakeRaised() const {
    return m_wake != nullptr && m_wake->Raised();
}

void PulseStream::RunPending() {
    // Bounded: a server that never stops talking must not hold the caller here.
    for (int i = 0; i < 64 && pa_mainloop_iterate(m_loop, 0, nullptr) > 0; ++i) {
    }
}

int PulseStream::Available() {
    RunPending();
    if (!Alive())
        return -1;
    const size_t n = m_capture ? pa_stream_readable_size(m_stream) : pa_stream_writable_size(m_stream);
    if (n == static_cast<size_t>(-1))
        return -1;
    return static_cast<int>(std::min<size_t>(n - std::min(n, m_fragmentOffset), INT32_MAX));
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
    RunPending();
    while (got < bytes) {
        if (!Alive())
            return -1;
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
        if (got < bytes && (WakeRaised() || !RunUntil(deadline)))
            break;
    }
    return got;
}

int PulseStream::Write(const uint8_t* data, int bytes, int timeoutMs) {
    const auto deadline = After(timeoutMs);
    int done = 0;
    RunPending();
    while (done < bytes) {
        if (!Alive())
            return -1;
        const size_t room = pa_stream_writable_size(m_stream);
        const auto rest = static_cast<size_t>(bytes - done);
        // Whole writes only: the server frees room a request at a time, and a write split
        // across two requests keeps every later one split too, waking this thread twice a
        // period. Only a write larger than the whole buffer goes in pieces.
        const pa_buffer_attr* attr = pa_stream_get_buffer_attr(m_stream);
        const size_t n = room >= rest ? rest : attr != nullptr && room >= attr->tlength ? room : 0;
        if (n > 0 && pa_stream_write(m_stream, data + done, n, nullptr, 0, PA_SEEK_RELATIVE) == 0)
            done += static_cast<int>(n);
        if (done < bytes && (WakeRaised() || !RunUntil(deadline)))
            break;
    }
    RunPending(); // on its way to the server now, not at the next wait
    return done;
}

void PulseStream::Flush() {
    // What arrived while no one read is dropped here, what is still on the server there.
    RunPending();
    if (!Alive())
        return;
    if (m_capture) {
        const void* fragment = nullptr;
        size_t length = 0;
        while (pa_stream_peek(m_stream, &fragment, &length) == 0 && length > 0)
            pa_stream_drop(m_stream);
        m_fragmentOffset = 0;
    }
    if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr))
        pa_operation_unref(op);
    RunPending();
}

bool PulseStream::NoSuchDevice(int error) {
    return error == PA_ERR_NOENTITY;
}
