// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone boost: the first mixer element named like a gain or boost, one call at a time.
#pragma once

#include "IMixerDevice.h"

#include <memory>

// Threads: the control's thread only, one lookup per call.
//
// The chosen element is driven through the first of these it has: playback
// switch, capture switch, playback volume, capture volume. A switch is on
// when set; a volume-only element counts as on above its minimum and is
// switched on to its maximum and off to its minimum. A matching element with
// none of them makes the lookup fail (a later match is not tried).
class CMicBoost {
public:
    explicit CMicBoost(MixerOpener opener);
    ~CMicBoost();
    CMicBoost(const CMicBoost&) = delete;
    CMicBoost& operator=(const CMicBoost&) = delete;

    bool Open(); // false when no mixer or no usable matching element
    bool Set(bool on);
    bool Get(bool& on);
    void Close(); // safe twice

private:
    enum class Kind { Switch, Volume };

    MixerOpener m_opener;
    std::unique_ptr<IMixerDevice> m_device;
    int m_element = -1;
    Kind m_kind = Kind::Switch;
    MixerDirection m_direction = MixerDirection::Playback;
    long m_min = 0;
    long m_max = 0;
};
