// Sums the playing output buffers of one device into the periods its device thread writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class AudioOutputRing;

// Threads: Attach/Detach come from the owner's thread (ring construction and
// destruction), Render from the device thread; m_mutex guards the ring list and is held
// across Render, so a detached ring is never touched afterwards.
class AudioOutputMixer {
public:
    void Attach(AudioOutputRing* ring);
    void Detach(AudioOutputRing* ring);
    // Fills `frames` samples: the sum of every playing ring, clipped; silence when none.
    void Render(int16_t* out, size_t frames);

private:
    std::mutex m_mutex;
    std::vector<AudioOutputRing*> m_rings; // guarded
    std::vector<int32_t> m_acc;            // guarded (scratch)
};
