// SPDX-License-Identifier: GPL-3.0-or-later
// The microphones and speakers a person can choose: the sound server's, else ALSA's.
#include "AudioDeviceList.h"

#include "PulseServer.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <cstring>

namespace {

// ALSA's hint text, freed as the library asks.
std::string TakeHint(void* hint, const char* id) {
    char* value = snd_device_name_get_hint(hint, id);
    std::string text = value != nullptr ? value : "";
    std::free(value);
    return text;
}

std::vector<AudioDeviceEntry> ListAlsaDevices() {
    // ALSA's "default" is what a station uses unless told otherwise, listed or not.
    std::vector<AudioDeviceEntry> devices{{true, "alsa:default", "Default ALSA device", true},
                                          {false, "alsa:default", "Default ALSA device", true}};
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return devices;
    for (void** hint = hints; *hint != nullptr; ++hint) {
        const std::string name = TakeHint(*hint, "NAME");
        std::string description = TakeHint(*hint, "DESC");
        const std::string io = TakeHint(*hint, "IOID"); // empty: both directions
        // Devices, not the converter and mixing plugins ALSA lists beside them: a card's
        // own entries carry its name after a colon.
        if (name != "pulse" && name.find(':') == std::string::npos)
            continue;
        // ALSA's descriptions run over two lines: card, then device.
        for (char& c : description)
            if (c == '\n')
                c = ' ';
        if (description.empty())
            description = name;
        for (const bool capture : {true, false})
            if (io.empty() || io == (capture ? "Input" : "Output"))
                devices.push_back({capture, "alsa:" + name, description, name == "default"});
    }
    snd_device_name_free_hint(hints);
    return devices;
}

} // namespace

std::vector<AudioDeviceEntry> ListAudioDevices() {
    const auto pulse = ListPulseDevices();
    if (!pulse)
        return ListAlsaDevices();
    std::vector<AudioDeviceEntry> devices;
    for (const PulseDevice& d : *pulse)
        devices.push_back({d.capture, "pulse:" + d.name, d.description, d.isDefault});
    return devices;
}

std::string FormatAudioDevices(const std::vector<AudioDeviceEntry>& devices) {
    std::string text;
    for (const AudioDeviceEntry& d : devices) {
        // A tab or line break in a description would break the line format.
        std::string description = d.description;
        for (char& c : description)
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';
        text += (d.capture ? "capture\t" : "playback\t") + d.setting + '\t' + description;
        text += d.isDefault ? "\tdefault\n" : "\n";
    }
    return text;
}
