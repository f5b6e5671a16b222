// SPDX-License-Identifier: GPL-3.0-or-later
// Output that writes what a listener would hear, in real time, to a 16-bit mono WAV file at
// the device's rate.
#include "WavFileAudioOutput.h"

#include "TimingLog.h"

WavFileAudioOutput::WavFileAudioOutput(std::string path, std::string timingLog)
    : m_path(std::move(path)), m_timingLog(std::move(timingLog)) {}

WavFileAudioOutput::~WavFileAudioOutput() {
    Close();
}

bool WavFileAudioOutput::OpenSink(std::string* error) {
    SF_INFO info{};
    info.samplerate = SampleRate();
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open(m_path.c_str(), SFM_WRITE, &info);
    if (m_file == nullptr) {
        *error = "cannot write " + m_path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Keep the header current, so the file is readable even if the process dies mid-call.
    sf_command(m_file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    return true;
}

void WavFileAudioOutput::CloseSink() {
    if (m_file != nullptr) {
        sf_close(m_file); // finalises the header
        m_file = nullptr;
    }
}

long WavFileAudioOutput::NextPeriod(std::string*) {
    return WaitForClock();
}

bool WavFileAudioOutput::WritePeriod(const int16_t* samples, size_t frames, std::string* error) {
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_write_short(m_file, samples, count) != count) {
        *error = "cannot write " + m_path + ": " + sf_strerror(m_file);
        return false;
    }
    return true;
}

void WavFileAudioOutput::StreamStarted() {
    // Each period is written when it is handed over, and a device would start playing it
    // then: the file's sample 0 is heard one period after the clock starts.
    const long long kPeriodNs = 1000000000LL * PERIOD_MS / 1000;
    LogAudioDeviceStart(m_timingLog, "playback-start", m_path, kPeriodNs);
}
