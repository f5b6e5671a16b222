// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input on an ALSA PCM device: S16_LE, mono, 8000 or 16000 Hz, in 20 ms periods.
#include "AlsaAudioInput.h"

#include "AlsaPcmWait.h"

#include <algorithm>
#include <cerrno>

namespace {

// The device thread waits on the device for at most this long before it looks for a
// stop request.
constexpr int WAIT_MS = 200;

} // namespace

AlsaAudioInput::AlsaAudioInput(std::string device) : m_device(std::move(device)) {}

AlsaAudioInput::~AlsaAudioInput() {
    Close();
}

bool AlsaAudioInput::OpenDevice() {
    if (snd_pcm_open(&m_pcm, m_device.c_str(), SND_PCM_STREAM_CAPTURE, 0) < 0) {
        m_pcm = nullptr;
        return false;
    }
    // Reads never block: the device thread blocks in WaitForPcm instead, which has a
    // time-out, so a device that stalls mid-buffer cannot hold up Reset.
    if (snd_pcm_nonblock(m_pcm, 1) < 0 || !Configure()) {
        CloseDevice();
        return false;
    }
    return true;
}

bool AlsaAudioInput::Configure() {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(m_pcm, hw) < 0 ||
        snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(m_pcm, hw, SND_PCM_FORMAT_S16_LE) < 0 ||
        snd_pcm_hw_params_set_channels(m_pcm, hw, 1) < 0)
        return false;
    unsigned rate = static_cast<unsigned>(SampleRate());
    if (snd_pcm_hw_params_set_rate(m_pcm, hw, rate, 0) < 0)
        return false;
    // The device may round these; reading whole buffers works with any period.
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(SampleRate() * PERIOD_MS / 1000);
    int dir = 0;
    snd_pcm_hw_params_set_period_size_near(m_pcm, hw, &period, &dir);
    snd_pcm_uframes_t bufferFrames = period * PERIODS;
    snd_pcm_hw_params_set_buffer_size_near(m_pcm, hw, &bufferFrames);
    if (snd_pcm_hw_params(m_pcm, hw) < 0 || snd_pcm_hw_params_get_period_size(hw, &period, &dir) < 0 ||
        snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames) < 0)
        return false;
    m_period = period;
    // What the device granted: a wake-up level it cannot reach would only end in an overrun.
    m_wakeUpMax = bufferFrames > period ? bufferFrames - period : period;
    m_wakeUp = 0;
    return snd_pcm_prepare(m_pcm) >= 0;
}

void AlsaAudioInput::SetWakeUp(snd_pcm_uframes_t frames) {
    // Never below a period (the device signals per period) nor above the buffer.
    frames = std::clamp<snd_pcm_uframes_t>(frames, m_period, std::max(m_period, m_wakeUpMax));
    if (frames == m_wakeUp)
        return;
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    // On failure the device keeps waking per period: dearer, still correct.
    if (snd_pcm_sw_params_current(m_pcm, sw) >= 0 && snd_pcm_sw_params_set_avail_min(m_pcm, sw, frames) >= 0 &&
        snd_pcm_sw_params(m_pcm, sw) >= 0)
        m_wakeUp = frames;
}

void AlsaAudioInput::CloseDevice() {
    if (m_pcm != nullptr) {
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
    }
}

bool AlsaAudioInput::StartDevice() {
    if (snd_pcm_state(m_pcm) != SND_PCM_STATE_PREPARED && snd_pcm_prepare(m_pcm) < 0)
        return false;
    return snd_pcm_start(m_pcm) >= 0;
}

void AlsaAudioInput::StopDevice() {
    snd_pcm_drop(m_pcm);
}

bool AlsaAudioInput::Recover(int error) {
    if (snd_pcm_recover(m_pcm, error, 1) < 0)
        return false;
    // Recovery leaves a capture stream prepared but not running.
    if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
        return snd_pcm_start(m_pcm) >= 0;
    return true;
}

int AlsaAudioInput::Capture(uint8_t* buffer, int length) {
    const snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(length / BYTES_PER_SAMPLE);
    snd_pcm_uframes_t got = 0;
    while (got < frames) {
        if (StopRequested())
            return static_cast<int>(got) * BYTES_PER_SAMPLE;
        SetWakeUp(frames - got);
        // Devices that ignore the wake-up level (PulseAudio's plugin among them) still
        // signal every period: sleeping until the rest of the buffer is due wakes this
        // thread about once a buffer instead. The position is synced with the hardware first:
        // a count as of the last interrupt would oversleep by up to a period.
        const snd_pcm_sframes_t avail = snd_pcm_avail(m_pcm);
        if (avail >= 0 && static_cast<snd_pcm_uframes_t>(avail) < frames - got) {
            if (!WaitForSamples(static_cast<long long>(frames - got) - avail))
                return static_cast<int>(got) * BYTES_PER_SAMPLE;
        }
        const int ready = WaitForPcm(m_pcm, std::max(m_wakeUp, m_period), Wake(), WAIT_MS);
        if (ready == 0)
            continue;
        if (ready < 0) {
            if (!Recover(ready))
                return -1;
            continue;
        }
        const snd_pcm_sframes_t read =
            snd_pcm_readi(m_pcm, buffer + got * BYTES_PER_SAMPLE, frames - got);
        if (read == -EAGAIN)
            continue;
        if (read < 0) {
            if (!Recover(static_cast<int>(read)))
                return -1;
            continue;
        }
        got += static_cast<snd_pcm_uframes_t>(read);
    }
    return length;
}
