// SPDX-License-Identifier: GPL-3.0-or-later
// Asks the PulseAudio server (or PipeWire's PulseAudio service) which devices it has.
#include "PulseServer.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct Query {
    std::vector<PulseDevice> devices;
    std::string defaultSource;
    std::string defaultSink;
    int pending = 0; // list operations not yet finished
};

struct LoopDeleter {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

// Runs the loop until `done` or the deadline; false on the deadline. Never blocks past it.
template <typename Done> bool RunUntil(pa_mainloop* loop, Clock::time_point deadline, Done done) {
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* data) {
    auto* q = static_cast<Query*>(data);
    if (info != nullptr) {
        q->defaultSource = info->default_source_name ? info->default_source_name : "";
        q->defaultSink = info->default_sink_name ? info->default_sink_name : "";
    }
    --q->pending;
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* q = static_cast<Query*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX)
        q->devices.push_back({true, info->name, info->description ? info->description : info->name, false});
}

void OnSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* q = static_cast<Query*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    if (info != nullptr)
        q->devices.push_back({false, info->name, info->description ? info->description : info->name, false});
}

// A connected context, or null when no server answered in time.
std::unique_ptr<pa_context, ContextDeleter> Connect(pa_mainloop* loop, Clock::time_point deadline) {
    std::unique_ptr<pa_context, ContextDeleter> context(pa_context_new(pa_mainloop_get_api(loop), "TESSORA"));
    if (!context || pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return nullptr;
    pa_context_state_t state = PA_CONTEXT_UNCONNECTED;
    const bool settled = RunUntil(loop, deadline, [&] {
        state = pa_context_get_state(context.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!settled || state != PA_CONTEXT_READY)
        return nullptr;
    return context;
}

} // namespace

std::optional<std::vector<PulseDevice>> ListPulseDevices(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_ptr<pa_mainloop, LoopDeleter> loop(pa_mainloop_new());
    if (!loop)
        return std::nullopt;
    auto context = Connect(loop.get(), deadline);
    if (!context)
        return std::nullopt;
    Query q;
    pa_operation* ops[] = {
        pa_context_get_server_info(context.get(), OnServerInfo, &q),
        pa_context_get_source_info_list(context.get(), OnSource, &q),
        pa_context_get_sink_info_list(context.get(), OnSink, &q),
    };
    for (pa_operation* op : ops)
        if (op != nullptr)
            ++q.pending;
    const bool answered = RunUntil(loop.get(), deadline, [&] { return q.pending <= 0; });
    for (pa_operation* op : ops)
        if (op != nullptr) {
            if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
                pa_operation_cancel(op);
            pa_operation_unref(op);
        }
    if (!answered)
        return std::nullopt;
    for (PulseDevice& d : q.devices)
        d.isDefault = d.name == (d.capture ? q.defaultSource : q.defaultSink);
    return q.devices;
}

bool PulseServerAnswers(int timeoutMs) {
    std::unique_ptr<pa_mainloop, LoopDeleter> loop(pa_mainloop_new());
    return loop && Connect(loop.get(), Clock::now() + std::chrono::milliseconds(timeoutMs)) != nullptr;
}
