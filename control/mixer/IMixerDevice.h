// SPDX-License-Identifier: GPL-3.0-or-later
// One opened mixer device as the volume and boost lookups see it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class MixerDirection { Playback, Capture };

// What an element offers, by name, in the device's own listing order.
struct MixerElementInfo {
    std::string name;
    bool playbackVolume = false;
    bool captureVolume = false;
    bool playbackSwitch = false;
    bool captureSwitch = false;
};

// Elements are addressed by their index in Elements(). Reads look at the
// first channel; writes set every channel to the same value, as one value
// given for all channels does. All calls report failure instead of throwing.
class IMixerDevice {
public:
    virtual ~IMixerDevice() = default;
    virtual const std::vector<MixerElementInfo>& Elements() const = 0;
    virtual bool GetVolumeRange(int element, MixerDirection dir, long& min, long& max) = 0;
    virtual bool GetVolume(int element, MixerDirection dir, long& value) = 0;
    virtual bool SetVolume(int element, MixerDirection dir, long value) = 0;
    virtual bool GetSwitch(int element, MixerDirection dir, bool& on) = 0;
    virtual bool SetSwitch(int element, MixerDirection dir, bool on) = 0;
};

// Opens a mixer device for one lookup; nullptr when there is none.
using MixerOpener = std::function<std::unique_ptr<IMixerDevice>()>;

// Opens the ALSA simple mixer on control device `device` (the control's TAVRINO_MIXER;
// empty: "default"); the device it opens is nullptr when that cannot be opened.
MixerOpener AlsaMixerOpener(const std::string& device);
