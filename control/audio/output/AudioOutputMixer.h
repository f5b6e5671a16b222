// SPDX-License-Identifier: GPL-3.0-or-later
// Sums the playing output buffers of one device into the periods its device thread writes.
#pragma once

#include "AudioOutputRing.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Threads: CreateRing and a ring's destruction come from the owner's thread, Render from
// the device thread; m_mutex guards the ring list and is held across Render, so a ring
// taken out of the mix is never touched afterwards.
class AudioOutputMixer : public std::enable_shared_from_this<AudioOutputMixer> {
public:
    // A new ring in the mix (the mixer must be held by a shared_ptr). Destroying the ring
    // takes it out of the mix; until then it keeps the mixer alive.
    std::unique_ptr<AudioOutputRing> CreateRing(uint32_t bytes);
    // Fills `frames` samples: the sum of every playing ring, clipped; silence when none.
    void Render(int16_t* out, size_t frames);

private:
    void Detach(const AudioOutputRing* ring);

    std::mutex m_mutex;
    std::vector<AudioOutputRing*> m_rings; // guarded
    std::vector<int32_t> m_acc;            // guarded (scratch)
};
