// SPDX-License-Identifier: GPL-3.0-or-later
// An audio output device that hands out looping playback buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class AudioOutputBuffer;
class AudioSource;

// Called from the owner's thread only. Buffers may outlive Close (they then stand still).
// An output plays mono 16-bit samples at the rate it was set to before Open (8000 Hz
// unless told otherwise); a buffer holds 8 kHz audio whatever the device's rate.
class AudioOutput {
public:
    static constexpr int kNarrowbandRate = 8000;
    static constexpr int kWidebandRate = 16000;

    virtual ~AudioOutput() = default;

    // The rate of the next Open: 8000 or 16000; false (nothing changed) otherwise.
    virtual bool SetSampleRate(int rate) = 0;
    virtual int SampleRate() const = 0;

    virtual bool Open() = 0;
    virtual void Close() = 0; // safe twice
    // Null when the device is not open or `bytes` is not a positive even count.
    virtual std::unique_ptr<AudioOutputBuffer> CreateBuffer(uint32_t bytes) = 0;
    // `source` is asked for audio at the device's rate every period, on the device thread,
    // from now until it is removed (which returns once it is no longer being asked). It
    // must outlive that. Nothing happens while the device is not open.
    virtual void AddSource(AudioSource* source) = 0;
    virtual void RemoveSource(AudioSource* source) = 0;
    // False before Open and once the device has been lost.
    virtual bool IsRunning() const = 0;
    virtual std::string LastError() const = 0;
};
