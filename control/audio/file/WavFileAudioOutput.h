// SPDX-License-Identifier: GPL-3.0-or-later
// Output that writes what a listener would hear, in real time, to a 16-bit mono WAV file at
// the device's rate.
#pragma once

#include "AudioOutputStreamer.h"

#include <sndfile.h>

#include <string>

// The file is a time line: every period of real time since Open appends its samples,
// silence while nothing plays. Threads: the SNDFILE handle is opened and closed on the
// owner's thread and written only by the device thread in between.
class WavFileAudioOutput final : public AudioOutputStreamer {
public:
    // `timingLog`: where its start is logged (see LogAudioDeviceStart); empty: nowhere.
    explicit WavFileAudioOutput(std::string path, std::string timingLog = {});
    ~WavFileAudioOutput() override;

    const std::string& Path() const { return m_path; }

protected:
    bool OpenSink(std::string* error) override;
    void CloseSink() override;
    long NextPeriod(std::string* error) override;
    bool WritePeriod(const int16_t* samples, size_t frames, std::string* error) override;
    void StreamStarted() override;

private:
    const std::string m_path;
    const std::string m_timingLog;
    SNDFILE* m_file = nullptr;
};
