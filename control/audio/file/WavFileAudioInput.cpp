// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input that plays a WAV file as the microphone, in real time, looping at its end.
#include "WavFileAudioInput.h"

#include "TimingLog.h"

#include <speex/speex_resampler.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

// Large enough for the 960-sample voice buffers; longer buffers are read in pieces.
constexpr int CHUNK_FRAMES = 960;
// speexdsp's quality scale 0..10: 5 passes speech cleanly at little cost.
constexpr int RESAMPLER_QUALITY = 5;

// libsndfile scales every format to -1..1 when reading floats, 16-bit files exactly, while
// its short reads would leave float files unscaled (all zeros); so read floats and scale here.
int16_t ToSample(float value) {
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

} // namespace

WavFileAudioInput::WavFileAudioInput(std::string path, std::string timingLog)
    : m_path(std::move(path)), m_timingLog(std::move(timingLog)) {}

WavFileAudioInput::~WavFileAudioInput() {
    Close();
}

bool WavFileAudioInput::OpenDevice() {
    m_error.clear();
    SF_INFO info{};
    m_file = sf_open(m_path.c_str(), SFM_READ, &info);
    if (m_file == nullptr) {
        m_error = "cannot read " + m_path + ": " + sf_strerror(nullptr);
        return false;
    }
    // An empty file could never fill a buffer, and one that cannot seek never loops.
    if (info.channels < 1 || info.frames <= 0 || info.samplerate <= 0 || !info.seekable) {
        m_error = m_path + " holds no audio that can be played in a loop";
        CloseDevice();
        return false;
    }
    m_channels = info.channels;
    m_interleaved.assign(static_cast<size_t>(CHUNK_FRAMES) * m_channels, 0);
    m_mono.assign(CHUNK_FRAMES, 0);
    m_resampled.clear();
    if (info.samplerate != SampleRate()) {
        int err = 0;
        m_resampler = speex_resampler_init(1, static_cast<spx_uint32_t>(info.samplerate),
                                           static_cast<spx_uint32_t>(SampleRate()),
                                           RESAMPLER_QUALITY, &err);
        if (m_resampler == nullptr) {
            m_error = "cannot bring " + m_path + " from " + std::to_string(info.samplerate) +
                      " Hz to " + std::to_string(SampleRate()) + " Hz: " +
                      speex_resampler_strerror(err);
            CloseDevice();
            return false;
        }
        // The filter's own delay would otherwise open the recording with silence.
        speex_resampler_skip_zeros(m_resampler);
    }
    return true;
}

void WavFileAudioInput::CloseDevice() {
    if (m_resampler != nullptr) {
        speex_resampler_destroy(m_resampler);
        m_resampler = nullptr;
    }
    if (m_file != nullptr) {
        sf_close(m_file);
        m_file = nullptr;
    }
}

bool WavFileAudioInput::StartDevice() {
    m_pacer.Restart(SampleRate());
    LogAudioDeviceStart(m_timingLog, "capture-start", m_path);
    return true;
}

bool WavFileAudioInput::ReadLooping(int16_t* out, int frames) {
    bool rewound = false;
    while (frames > 0) {
        const sf_count_t got = sf_readf_float(m_file, m_interleaved.data(), frames);
        if (got <= 0) {
            // One rewind per call: a file that yields nothing even from its start is broken.
            if (rewound || sf_seek(m_file, 0, SEEK_SET) < 0)
                return false;
            rewound = true;
            continue;
        }
        rewound = false;
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (int c = 0; c < m_channels; ++c)
                sum += m_interleaved[static_cast<size_t>(i * m_channels + c)];
            out[i] = ToSample(sum / static_cast<float>(m_channels));
        }
        out += got;
        frames -= static_cast<int>(got);
    }
    return true;
}

bool WavFileAudioInput::Produce(int16_t* out, int frames) {
    if (m_resampler == nullptr)
        return ReadLooping(out, frames);
    while (static_cast<int>(m_resampled.size()) < frames) {
        if (!ReadLooping(m_mono.data(), CHUNK_FRAMES))
            return false;
        spx_uint32_t in = CHUNK_FRAMES;
        const std::size_t at = m_resampled.size();
        // At most 48 kHz in, 8 kHz out: 6 times the chunk covers any ratio offered.
        spx_uint32_t produced = CHUNK_FRAMES * 6;
        m_resampled.resize(at + produced);
        speex_resampler_process_int(m_resampler, 0, m_mono.data(), &in, m_resampled.data() + at,
                                    &produced);
        m_resampled.resize(at + produced);
    }
    std::copy_n(m_resampled.begin(), frames, out);
    m_resampled.erase(m_resampled.begin(), m_resampled.begin() + frames);
    return true;
}

int WavFileAudioInput::Capture(uint8_t* buffer, int length) {
    const int samples = length / BYTES_PER_SAMPLE;
    if (!WaitUntil(m_pacer.NextDeadline(samples)))
        return 0;
    for (int done = 0; done < samples;) {
        const int frames = std::min(CHUNK_FRAMES, samples - done);
        std::array<int16_t, CHUNK_FRAMES> produced{};
        if (!Produce(produced.data(), frames))
            return -1;
        for (int i = 0; i < frames; ++i) {
            const auto sample = static_cast<uint16_t>(produced[static_cast<size_t>(i)]);
            buffer[2 * (done + i)] = static_cast<uint8_t>(sample & 0xFF);
            buffer[2 * (done + i) + 1] = static_cast<uint8_t>(sample >> 8);
        }
        done += frames;
    }
    return length;
}
