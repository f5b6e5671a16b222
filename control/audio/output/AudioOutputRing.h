// SPDX-License-Identifier: GPL-3.0-or-later
// The looping output buffer shared between the owner's thread and a device thread.
#pragma once

#include "AudioOutputBuffer.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

// Threads: Lock/Unlock/Play/Stop/position run on the owner's thread; MixInto runs on the
// device thread. The sample memory, cursor and playing flag are guarded by m_mutex. Lock
// hands out a staging copy owned by the owner's thread, so the device thread never reads
// memory the owner is writing; Unlock copies it in under the mutex.
class AudioOutputRing final : public AudioOutputBuffer {
public:
    // Runs first in the destructor and must return only once no thread is in MixInto
    // for this ring any more (the mixer that made it takes it out of its mix there).
    using Released = std::function<void(const AudioOutputRing*)>;

    explicit AudioOutputRing(uint32_t bytes, Released released = {});
    ~AudioOutputRing() override;
    AudioOutputRing(const AudioOutputRing&) = delete;
    AudioOutputRing& operator=(const AudioOutputRing&) = delete;

    uint32_t Size() const override { return m_size; }
    bool Lock(uint32_t offset, uint32_t bytes, uint8_t** region1, uint32_t* length1,
              uint8_t** region2, uint32_t* length2) override;
    bool Unlock(uint8_t* region1, uint32_t length1, uint8_t* region2, uint32_t length2) override;
    bool Play() override;
    bool Stop() override;
    bool SetCurrentPosition(uint32_t position) override;
    bool GetCurrentPosition(uint32_t* playCursor) override;
    bool IsPlaying() const override;

    // Device thread: adds `frames` samples at `rate` from the play cursor to `acc` and
    // advances the cursor, looping; does nothing while stopped. The buffer holds 8 kHz
    // audio: at 16 kHz each of its samples is played twice, the second halfway to the next.
    void MixInto(int32_t* acc, size_t frames, int rate = 8000);

private:
    const uint32_t m_size;
    Released m_released;

    // Owner's thread only.
    std::vector<uint8_t> m_staging;
    bool m_locked = false;
    uint32_t m_lockOffset = 0;
    uint32_t m_lockBytes = 0;

    mutable std::mutex m_mutex;
    std::vector<uint8_t> m_data; // guarded
    uint32_t m_cursor = 0;       // guarded; always even
    bool m_playing = false;      // guarded
    bool m_between = false;      // guarded: at 16 kHz, halfway between two of its samples
};
