// SPDX-License-Identifier: GPL-3.0-or-later
// AudioSource: what an output device asks for audio as it plays (the wideband voice's path).
#pragma once

#include <cstddef>
#include <cstdint>

// Unlike a looping buffer, which the owner fills ahead, a source is pulled: the device's
// clock is the playout clock, so a receiver with a jitter buffer plays each frame when the
// device needs it.
//
// Threads: Render runs on the output's device thread only.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Fills `frames` samples at the device's rate (adds nothing: the mixer sums them).
    virtual void Render(int16_t* out, size_t frames) = 0;
};
