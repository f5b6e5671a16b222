// SPDX-License-Identifier: GPL-3.0-or-later
// Sums the playing output buffers and the sources of one device into the periods its device
// thread writes.
#pragma once

#include "AudioOutputRing.h"
#include "AudioSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Threads: CreateRing, a ring's destruction and the sources' adding and removing come from
// the owner's thread, Render from the device thread; m_mutex guards both lists and is held
// across Render, so a ring or source taken out of the mix is never touched afterwards.
class AudioOutputMixer : public std::enable_shared_from_this<AudioOutputMixer> {
public:
    // A new ring in the mix (the mixer must be held by a shared_ptr). Destroying the ring
    // takes it out of the mix; until then it keeps the mixer alive.
    std::unique_ptr<AudioOutputRing> CreateRing(uint32_t bytes);
    void AddSource(AudioSource* source);
    void RemoveSource(AudioSource* source);
    // Fills `frames` samples at `rate`: the sum of every playing ring (8 kHz audio, brought
    // to the rate) and every source, clipped; silence when none.
    void Render(int16_t* out, size_t frames, int rate);

private:
    void Detach(const AudioOutputRing* ring);

    std::mutex m_mutex;
    std::vector<AudioOutputRing*> m_rings; // guarded
    std::vector<AudioSource*> m_sources;   // guarded
    std::vector<int32_t> m_acc;            // guarded (scratch)
    std::vector<int16_t> m_source;         // guarded (scratch)
};
