// SPDX-License-Identifier: GPL-3.0-or-later
// An audio output device that hands out looping playback buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class AudioOutputBuffer;

// Called from the owner's thread only. Buffers may outlive Close (they then stand still).
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    virtual bool Open() = 0;
    virtual void Close() = 0; // safe twice
    // Null when the device is not open or `bytes` is not a positive even count.
    virtual std::unique_ptr<AudioOutputBuffer> CreateBuffer(uint32_t bytes) = 0;
    // False before Open and once the device has been lost.
    virtual bool IsRunning() const = 0;
    virtual std::string LastError() const = 0;
};
