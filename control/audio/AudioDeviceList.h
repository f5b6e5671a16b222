// SPDX-License-Identifier: GPL-3.0-or-later
// The microphones and speakers a person can choose: the sound server's, else ALSA's.
#pragma once

#include <string>
#include <vector>

struct AudioDeviceEntry {
    bool capture = false;
    std::string setting;     // what the device factories take: "pulse:NAME", "alsa:NAME"
    std::string description; // what a person reads
    bool isDefault = false;
};

// The server's sources and sinks when a server answers, else ALSA's PCM devices (one
// entry per direction a device serves).
std::vector<AudioDeviceEntry> ListAudioDevices();

// One line per device: "capture|playback TAB setting TAB description [TAB default]".
std::string FormatAudioDevices(const std::vector<AudioDeviceEntry>& devices);
