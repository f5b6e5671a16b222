// SPDX-License-Identifier: GPL-3.0-or-later
// Output to an ALSA playback device: S16_LE, mono, 8000 or 16000 Hz, in 20 ms periods.
#include "AlsaAudioOutput.h"

#include "AlsaPcmWait.h"

namespace {
// Three periods of 20 ms: the device adds at most 60 ms to the playback delay. (PulseAudio's
// ALSA plugin wants at least three periods, so 2 x 20 ms is not on offer.)
constexpr unsigned PERIODS = 3;
// A device that takes no audio for this long is taken for lost rather than waited on.
constexpr int STALL_MS = 2000;

std::string Describe(const char* what, int err) {
    return std::string(what) + ": " + snd_strerror(err);
}
} // namespace

AlsaAudioOutput::AlsaAudioOutput(std::string device) : m_device(std::move(device)) {}

AlsaAudioOutput::~AlsaAudioOutput() {
    Close();
}

bool AlsaAudioOutput::OpenSink(std::string* error) {
    const int err = snd_pcm_open(&m_pcm, m_device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (err < 0) {
        m_pcm = nullptr;
        *error = Describe(("cannot open ALSA device " + m_device).c_str(), err);
        return false;
    }
    if (!Configure(error)) {
        CloseSink();
        return false;
    }
    m_underruns = 0;
    return true;
}

bool AlsaAudioOutput::Configure(std::string* error) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(m_pcm, hw);
    if (err >= 0) {
        err = snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    }
    if (err >= 0) {
        err = snd_pcm_hw_params_set_format(m_pcm, hw, SND_PCM_FORMAT_S16_LE);
    }
    if (err >= 0) {
        err = snd_pcm_hw_params_set_channels(m_pcm, hw, 1);
    }
    const auto wanted = static_cast<unsigned>(SampleRate());
    unsigned rate = wanted;
    if (err >= 0) {
        err = snd_pcm_hw_params_set_rate_resample(m_pcm, hw, 1);
    }
    if (err >= 0) {
        err = snd_pcm_hw_params_set_rate_near(m_pcm, hw, &rate, nullptr);
    }
    if (err >= 0 && rate != wanted) {
        *error = m_device + " does not play " + std::to_string(wanted) + " Hz";
        return false;
    }
    // Asked for at the rate being opened; the device's answer is kept apart from it.
    snd_pcm_uframes_t period = PeriodFrames();
    if (err >= 0) {
        err = snd_pcm_hw_params_set_period_size_near(m_pcm, hw, &period, nullptr);
    }
    m_bufferFrames = period * PERIODS;
    if (err >= 0) {
        err = snd_pcm_hw_params_set_buffer_size_near(m_pcm, hw, &m_bufferFrames);
    }
    if (err >= 0) {
        err = snd_pcm_hw_params(m_pcm, hw);
    }
    if (err < 0) {
        *error = Describe(("cannot configure " + m_device).c_str(), err);
        return false;
    }
    m_periodFrames = period;

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    err = snd_pcm_sw_params_current(m_pcm, sw);
    // Start once the buffer is full, so the first periods do not underrun at once.
    if (err >= 0) {
        err = snd_pcm_sw_params_set_start_threshold(m_pcm, sw, m_bufferFrames);
    }
    if (err >= 0) {
        err = snd_pcm_sw_params_set_avail_min(m_pcm, sw, period);
    }
    if (err >= 0) {
        err = snd_pcm_sw_params(m_pcm, sw);
    }
    if (err >= 0) {
        err = snd_pcm_prepare(m_pcm);
    }
    if (err < 0) {
        *error = Describe(("cannot configure " + m_device).c_str(), err);
        return false;
    }
    return true;
}

void AlsaAudioOutput::CloseSink() {
    if (m_pcm != nullptr) {
        // Drop rather than drain: what is left is at most 60 ms of a call that ended.
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
    }
}

bool AlsaAudioOutput::Recover(int err, std::string* error) {
    if (err == -EPIPE) {
        ++m_underruns;
    }
    const int rc = snd_pcm_recover(m_pcm, err, 1);
    if (rc < 0) {
        *error = Describe(("ALSA device " + m_device + " failed").c_str(), err);
        return false;
    }
    return true;
}

long AlsaAudioOutput::NextPeriod(std::string* error) {
    // Wait for room with a time-out, so a device that stops taking audio without an
    // error cannot hold the thread (and Close) for ever; the write below then does not
    // block for long.
    for (;;) {
        const int rc = WaitForPcm(m_pcm, m_periodFrames, Wake(), STALL_MS);
        if (rc > 0) {
            return static_cast<long>(m_periodFrames);
        }
        if (rc == 0 && StopRequested()) {
            return 0;
        }
        if (rc == 0) {
            const snd_pcm_state_t state = snd_pcm_state(m_pcm);
            if (state == SND_PCM_STATE_PREPARED) {
                return static_cast<long>(m_periodFrames); // not started yet: room is there
            }
            *error = "ALSA device " + m_device + " stopped taking audio";
            return -1;
        }
        if (!Recover(rc, error)) {
            return -1;
        }
        if (StopRequested()) {
            return 0;
        }
    }
}

bool AlsaAudioOutput::WritePeriod(const int16_t* samples, size_t frames, std::string* error) {
    size_t done = 0;
    while (done < frames) {
        const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, samples + done, frames - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (!Recover(static_cast<int>(n), error)) {
            return false;
        }
        if (StopRequested()) {
            return true;
        }
    }
    return true;
}
