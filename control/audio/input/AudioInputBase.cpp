// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer queue and device thread shared by the capture inputs; subclasses only read samples.
#include "AudioInputBase.h"

#include <system_error>

AudioInputBase::~AudioInputBase() {
    // The subclass has closed already; this only guards against a forgotten Close.
    JoinDeviceThread();
}

bool AudioInputBase::SetSampleRate(int rate) {
    if (m_open || (rate != kNarrowbandRate && rate != kWidebandRate))
        return false;
    m_rate = rate;
    return true;
}

bool AudioInputBase::Open(FilledCallback onFilled) {
    if (m_open || !onFilled)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_deviceFailed = false;
    }
    m_deviceWake.Lower();
    if (!OpenDevice())
        return false;
    m_onFilled = std::move(onFilled);
    m_open = true;
    return true;
}

bool AudioInputBase::AddBuffer(uint8_t* buffer, int length) {
    if (buffer == nullptr || length <= 0 || length % BYTES_PER_SAMPLE != 0)
        return false;
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return false;
    m_queue.push_back({buffer, length});
    m_wake.notify_all();
    return true;
}

bool AudioInputBase::Start() {
    if (!m_open)
        return false;
    {
        std::lock_guard lock(m_mutex);
        // A device that failed stays failed until it is opened again.
        if (m_deviceFailed)
            return false;
        if (m_deviceThread.joinable())
            return true;
        m_stopRequested = false;
    }
    m_deviceWake.Lower();
    if (!StartDevice())
        return false;
    try {
        m_deviceThread = std::thread(&AudioInputBase::Run, this);
    } catch (const std::system_error&) {
        // No thread to spare: the microphone cannot be started, which the caller reports.
        StopDevice();
        return false;
    }
    return true;
}

void AudioInputBase::Reset() {
    Stop();
    std::deque<Buffer> unfilled;
    {
        std::lock_guard lock(m_mutex);
        unfilled.swap(m_queue);
    }
    if (!m_onFilled)
        return;
    for (const Buffer& buffer : unfilled)
        m_onFilled(buffer.data, 0);
}

void AudioInputBase::Stop() {
    if (!m_deviceThread.joinable())
        return;
    JoinDeviceThread();
    StopDevice();
}

void AudioInputBase::Close() {
    if (!m_open)
        return;
    Stop();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_open = false;
    }
    CloseDevice();
    m_onFilled = nullptr;
}

bool AudioInputBase::IsOpen() const {
    return m_open;
}

bool AudioInputBase::DeviceFailed() const {
    std::lock_guard lock(m_mutex);
    return m_deviceFailed;
}

bool AudioInputBase::StopRequested() const {
    std::lock_guard lock(m_mutex);
    return m_stopRequested;
}

bool AudioInputBase::WaitUntil(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_until(lock, deadline, [this] { return m_stopRequested; });
}

bool AudioInputBase::WaitForSamples(long long samples) {
    return WaitUntil(Clock::now() + std::chrono::microseconds(samples * 1000000 / m_rate));
}

void AudioInputBase::JoinDeviceThread() {
    if (!m_deviceThread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    m_deviceWake.Raise();
    m_deviceThread.join();
}

void AudioInputBase::Run() {
    for (;;) {
        Buffer buffer{};
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopRequested || !m_queue.empty(); });
            if (m_stopRequested)
                return;
            buffer = m_queue.front();
        }
        // The buffer stays queued while it fills, so a Reset meanwhile still returns it.
        const int recorded = Capture(buffer.data, buffer.length);
        {
            std::lock_guard lock(m_mutex);
            if (recorded < 0) {
                m_deviceFailed = true;
                return;
            }
            if (m_stopRequested && recorded < buffer.length)
                return; // Reset hands it back
            m_queue.pop_front();
        }
        m_onFilled(buffer.data, recorded);
    }
}
