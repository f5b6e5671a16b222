// Capture input on a PulseAudio source, named or the server's default.
#include "PulseAudioInput.h"

#include "AudioChoice.h"
#include "PulseServer.h"
#include "TavrinoStandardApi.h"

#include <pulse/simple.h>

#include <cstring>

PulseAudioInput::PulseAudioInput(std::string source) : m_source(std::move(source)) {}

PulseAudioInput::~PulseAudioInput() {
    Close();
}

bool PulseAudioInput::OpenDevice() {
    int error = 0;
    m_silent = false;
    m_stream = OpenPulseStream(true, m_source, CHUNK_BYTES, 0, &error);
    if (m_stream == nullptr && !m_source.empty() && PulseNoSuchDevice(error)) {
        m_stream = OpenPulseStream(true, {}, CHUNK_BYTES, 0, &error);
        if (m_stream != nullptr)
            AudioChoice::Instance().Notify(Tavrino::NOTICE_CAPTURE_MISSING);
    }
    return m_stream != nullptr;
}

void PulseAudioInput::CloseDevice() {
    if (m_stream != nullptr) {
        pa_simple_free(m_stream);
        m_stream = nullptr;
    }
}

bool PulseAudioInput::StartDevice() {
    // The stream records from the moment it connects; what it gathered before the start
    // would only be old audio at the head of the call.
    if (m_stream != nullptr)
        pa_simple_flush(m_stream, nullptr);
    m_pacer.Restart();
    return true;
}

void PulseAudioInput::Recover() {
    CloseDevice();
    int error = 0;
    m_stream = OpenPulseStream(true, {}, CHUNK_BYTES, 0, &error);
    if (m_stream != nullptr) {
        AudioChoice::Instance().Notify(Tavrino::NOTICE_CAPTURE_LOST);
        return;
    }
    m_silent = true;
    m_pacer.Restart();
    AudioChoice::Instance().Notify(Tavrino::NOTICE_SERVER_LOST);
}

int PulseAudioInput::Capture(uint8_t* buffer, int length) {
    int got = 0;
    while (got < length) {
        if (StopRequested())
            return got;
        const int chunk = std::min(CHUNK_BYTES, length - got);
        if (m_silent) {
            if (!WaitUntil(m_pacer.NextDeadline(chunk / BYTES_PER_SAMPLE)))
                return got;
            std::memset(buffer + got, 0, static_cast<size_t>(chunk));
        } else if (pa_simple_read(m_stream, buffer + got, static_cast<size_t>(chunk), nullptr) < 0) {
            Recover();
            continue;
        }
        got += chunk;
    }
    return length;
}
