// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input on a PulseAudio source, named or the server's default.
#include "PulseAudioInput.h"

#include "PulseStream.h"
#include "TavrinoStandardApi.h"

#include <cstring>

PulseAudioInput::PulseAudioInput(std::string source, AudioNotify notify)
    : m_notify(std::move(notify)), m_source(std::move(source)) {}

PulseAudioInput::~PulseAudioInput() {
    Close();
}

bool PulseAudioInput::OpenDevice() {
    int error = 0;
    m_silent = false;
    m_stream = PulseStream::Open(true, m_source, SampleRate(), PeriodBytes(), 0, &error, &Wake());
    if (m_stream == nullptr && !m_source.empty() && PulseStream::NoSuchDevice(error)) {
        m_stream = PulseStream::Open(true, {}, SampleRate(), PeriodBytes(), 0, &error, &Wake());
        if (m_stream != nullptr)
            Tell(Tavrino::NOTICE_CAPTURE_MISSING);
    }
    return m_stream != nullptr;
}

void PulseAudioInput::CloseDevice() {
    m_stream.reset();
}

bool PulseAudioInput::StartDevice() {
    // The stream records from the moment it connects; what it gathered before the start
    // would only be old audio at the head of the call.
    if (m_stream != nullptr)
        m_stream->Flush();
    m_pacer.Restart(SampleRate());
    return true;
}

void PulseAudioInput::Recover() {
    CloseDevice();
    int error = 0;
    m_stream = PulseStream::Open(true, {}, SampleRate(), PeriodBytes(), 0, &error, &Wake());
    if (m_stream != nullptr) {
        Tell(Tavrino::NOTICE_CAPTURE_LOST);
        return;
    }
    m_silent = true;
    m_pacer.Restart(SampleRate());
    Tell(Tavrino::NOTICE_SERVER_LOST);
}

int PulseAudioInput::Capture(uint8_t* buffer, int length) {
    int got = 0;
    while (got < length) {
        if (StopRequested())
            return got;
        if (m_silent) {
            const int chunk = std::min(PeriodBytes(), length - got);
            if (!WaitUntil(m_pacer.NextDeadline(chunk / BYTES_PER_SAMPLE)))
                return got;
            std::memset(buffer + got, 0, static_cast<size_t>(chunk));
            got += chunk;
            continue;
        }
        // The server hands audio over every 20 ms: sleeping until the rest of the buffer is
        // due wakes this thread about once a buffer rather than at every fragment.
        const int ready = m_stream->Available();
        if (ready >= 0 && ready < length - got) {
            if (!WaitForSamples((length - got - ready) / BYTES_PER_SAMPLE))
                return got;
        }
        // A source that stalls delivers nothing; the time-out lets a stop request in.
        const int read = m_stream->Read(buffer + got, length - got, WAIT_MS);
        if (read < 0) {
            Recover();
            continue;
        }
        got += read;
        // The server moved the stream: the source went away and its default took over.
        if (m_stream->TakeMoved())
            Tell(Tavrino::NOTICE_CAPTURE_LOST);
    }
    return length;
}
