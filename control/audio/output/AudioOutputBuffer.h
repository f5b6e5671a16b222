// SPDX-License-Identifier: GPL-3.0-or-later
// A looping, lockable output buffer with a play cursor: what playback asks of a sound device.
#pragma once

#include <cstdint>

// Offsets, lengths and the cursor are in bytes of 16-bit mono PCM. The buffer loops: a
// lock that runs past the end continues at offset 0 as a second region. All methods are
// called from the owner's thread; an implementation guards whatever it shares with a
// device thread.
class AudioOutputBuffer {
public:
    virtual ~AudioOutputBuffer() = default;

    virtual uint32_t Size() const = 0;
    // Hands out up to two writable regions covering `bytes` from `offset`, wrapping at
    // the end. One lock at a time; region2 is null (length 0) when nothing wraps.
    virtual bool Lock(uint32_t offset, uint32_t bytes, uint8_t** region1, uint32_t* length1,
                      uint8_t** region2, uint32_t* length2) = 0;
    // Commits the regions a Lock handed out; the pointers must be those of that Lock.
    virtual bool Unlock(uint8_t* region1, uint32_t length1, uint8_t* region2, uint32_t length2) = 0;
    virtual bool Play() = 0; // always looping
    virtual bool Stop() = 0; // the cursor stays where it is
    virtual bool SetCurrentPosition(uint32_t position) = 0;
    virtual bool GetCurrentPosition(uint32_t* playCursor) = 0;
    virtual bool IsPlaying() const = 0;
};
