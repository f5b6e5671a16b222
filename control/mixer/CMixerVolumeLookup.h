// SPDX-License-Identifier: GPL-3.0-or-later
// Finds one volume element on a freshly opened mixer and reads or writes it on the 0..255 scale.
#pragma once

#include "IMixerDevice.h"

#include <memory>
#include <string>
#include <vector>

// Used for one call: Open, one Get or Set, Close. No handle outlives it. Threads: the
// control's thread only, one lookup at a time.
class CMixerVolumeLookup {
public:
    using Finder = int (*)(const std::vector<MixerElementInfo>&);

    CMixerVolumeLookup(MixerOpener opener, Finder finder, MixerDirection direction);
    ~CMixerVolumeLookup();
    CMixerVolumeLookup(const CMixerVolumeLookup&) = delete;
    CMixerVolumeLookup& operator=(const CMixerVolumeLookup&) = delete;

    // Opens the mixer and finds the element and its range; false when any is missing.
    bool Open();
    bool IsOpen() const { return m_device != nullptr; }
    // volume is on the 0..255 scale; values outside it are clamped.
    bool Set(int volume);
    bool Get(int& volume);
    void Close(); // safe twice

private:
    MixerOpener m_opener;
    Finder m_finder;
    MixerDirection m_direction;
    std::unique_ptr<IMixerDevice> m_device;
    int m_element = -1;
    long m_min = 0;
    long m_max = 0;
};
