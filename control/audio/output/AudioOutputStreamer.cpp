// SPDX-License-Identifier: GPL-3.0-or-later
// Base of the output backends: a device thread that streams the mixed buffers period by period.
#include "AudioOutputStreamer.h"

#include "AudioOutputMixer.h"
#include "EchoReference.h"

#include <algorithm>
#include <exception>
#include <system_error>

AudioOutputStreamer::AudioOutputStreamer() : m_mixer(std::make_shared<AudioOutputMixer>()) {}

AudioOutputStreamer::~AudioOutputStreamer() {
    // Derived classes have closed already; this only guards against a thread left behind.
    m_stop = true;
    m_wake.notify_all();
    m_deviceWake.Raise();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool AudioOutputStreamer::SetSampleRate(int rate) {
    if (m_thread.joinable() || (rate != kNarrowbandRate && rate != kWidebandRate))
        return false;
    m_rate = rate;
    return true;
}

void AudioOutputStreamer::AddSource(AudioSource* source) {
    m_mixer->AddSource(source);
}

void AudioOutputStreamer::RemoveSource(AudioSource* source) {
    m_mixer->RemoveSource(source);
}

bool AudioOutputStreamer::Open() {
    Close();
    SetError({});
    m_deviceWake.Lower();
    std::string error;
    if (!OpenSink(&error)) {
        SetError(error);
        return false;
    }
    m_stop = false;
    m_framesStreamed = 0;
    m_clockTicks = 0;
    m_clockFrames = 0;
    m_clockStart = std::chrono::steady_clock::now();
    StreamStarted();
    m_running = true;
    try {
        m_thread = std::thread(&AudioOutputStreamer::Run, this);
    } catch (const std::system_error& e) {
        m_running = false;
        SetError(std::string("cannot start the device thread: ") + e.what());
        CloseSink();
        return false;
    }
    return true;
}

void AudioOutputStreamer::Close() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_deviceWake.Raise();
    m_thread.join();
    m_running = false;
    CloseSink();
}

std::unique_ptr<AudioOutputBuffer> AudioOutputStreamer::CreateBuffer(uint32_t bytes) {
    if (!m_thread.joinable() || bytes == 0 || bytes % 2 != 0) {
        return nullptr;
    }
    return m_mixer->CreateRing(bytes);
}

std::string AudioOutputStreamer::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

void AudioOutputStreamer::SetError(const std::string& text) {
    std::lock_guard lock(m_errorMutex);
    m_error = text;
}

long AudioOutputStreamer::WaitForClock() {
    using namespace std::chrono;
    ++m_clockTicks;
    const auto due = m_clockStart + milliseconds(20) * m_clockTicks;
    {
        std::unique_lock lock(m_wakeMutex);
        m_wake.wait_until(lock, due, [this] { return m_stop.load(); });
    }
    // Even when woken by Close: what fell due is still written, so a file ends at Close.
    const auto elapsed = duration_cast<nanoseconds>(steady_clock::now() - m_clockStart).count();
    const auto target = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(m_rate) / 1000000000u;
    const long frames = static_cast<long>(target - m_clockFrames);
    m_clockFrames = target;
    return frames;
}

void AudioOutputStreamer::Run() {
    try {
        Stream();
    } catch (const std::exception& e) {
        // Nothing may escape a thread; a failure here is a lost device.
        SetError(std::string("the audio device thread failed: ") + e.what());
    }
    // The cursors stand still from here on; the owner learns it through IsRunning.
    m_running = false;
}

void AudioOutputStreamer::Stream() {
    const size_t periodFrames = PeriodFrames();
    std::vector<int16_t> period(periodFrames);
    while (!m_stop) {
        std::string error;
        const long due = NextPeriod(&error);
        if (due < 0) {
            SetError(error.empty() ? "the audio device was lost" : error);
            return;
        }
        // A late wakeup renders everything that fell due, one period at a time.
        auto left = static_cast<size_t>(due);
        while (left > 0) {
            const size_t n = std::min(left, periodFrames);
            m_mixer->Render(period.data(), n, m_rate);
            if (!WritePeriod(period.data(), n, &error)) {
                SetError(error.empty() ? "the audio device was lost" : error);
                return;
            }
            // The echo canceller's reference: this period, as the device took it.
            if (m_reference != nullptr)
                m_reference->Append(period.data(), n);
            m_framesStreamed += n;
            left -= n;
        }
    }
}
