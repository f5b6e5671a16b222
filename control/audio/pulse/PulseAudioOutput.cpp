// SPDX-License-Identifier: GPL-3.0-or-later
// Output to a PulseAudio sink, named or the server's default.
#include "PulseAudioOutput.h"

#include "PulseStream.h"
#include "TavrinoStandardApi.h"

#include <pulse/error.h>

#include <chrono>
#include <thread>

namespace {
// Three periods, as on ALSA: the server adds at most 60 ms to the playback delay.
constexpr int PERIODS = 3;
constexpr int STALL_MS = 2000;
} // namespace

PulseAudioOutput::PulseAudioOutput(std::string sink, AudioNotify notify)
    : m_notify(std::move(notify)), m_sink(std::move(sink)) {}

PulseAudioOutput::~PulseAudioOutput() {
    Close();
}

bool PulseAudioOutput::OpenSink(std::string* error) {
    int code = 0;
    m_silent = false;
    m_stream = PulseStream::Open(false, m_sink, SampleRate(), PeriodBytes(), PERIODS * PeriodBytes(), &code, &Wake());
    if (m_stream == nullptr && !m_sink.empty() && PulseStream::NoSuchDevice(code)) {
        m_stream = PulseStream::Open(false, {}, SampleRate(), PeriodBytes(), PERIODS * PeriodBytes(), &code, &Wake());
        if (m_stream != nullptr)
            Tell(Tavrino::NOTICE_PLAYBACK_MISSING);
    }
    if (m_stream == nullptr) {
        *error = "cannot open PulseAudio sink " + (m_sink.empty() ? std::string("(default)") : m_sink) +
                 ": " + pa_strerror(code);
        return false;
    }
    return true;
}

void PulseAudioOutput::CloseSink() {
    m_stream.reset();
}

void PulseAudioOutput::Recover() {
    CloseSink();
    int code = 0;
    m_stream = PulseStream::Open(false, {}, SampleRate(), PeriodBytes(), PERIODS * PeriodBytes(), &code, &Wake());
    if (m_stream != nullptr) {
        Tell(Tavrino::NOTICE_PLAYBACK_LOST);
        return;
    }
    m_silent = true;
    Tell(Tavrino::NOTICE_SERVER_LOST);
}

long PulseAudioOutput::NextPeriod(std::string*) {
    // Without a server the clock paces the cursors; otherwise the blocking write does.
    if (m_silent)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return static_cast<long>(PeriodFrames());
}

bool PulseAudioOutput::WritePeriod(const int16_t* samples, size_t frames, std::string*) {
    if (m_silent)
        return true;
    const int bytes = static_cast<int>(frames * sizeof(int16_t));
    // Short of a stop, a write waits for room; a sink that takes nothing for STALL_MS is lost.
    const int written = m_stream->Write(reinterpret_cast<const uint8_t*>(samples), bytes, STALL_MS);
    if (written < 0 || (written < bytes && !StopRequested()))
        Recover(); // the rest of this period is lost; the next goes to the new sink
    else if (m_stream->TakeMoved())
        Tell(Tavrino::NOTICE_PLAYBACK_LOST); // the server moved it
    return true;
}
