// SPDX-License-Identifier: GPL-3.0-or-later
// Which mixer element plays speaker volume, microphone volume and microphone boost.
#include "MixerElementNames.h"

#include <algorithm>
#include <cctype>

namespace {

int FindFirstNamed(const std::vector<MixerElementInfo>& elements,
                   std::initializer_list<const char*> names, bool MixerElementInfo::*capability) {
    for (const char* wanted : names) {
        for (size_t i = 0; i < elements.size(); ++i) {
            if (elements[i].name == wanted && elements[i].*capability) {
                return int(i);
            }
        }
    }
    return -1;
}

} // namespace

int FindSpeakerElement(const std::vector<MixerElementInfo>& elements) {
    return FindFirstNamed(elements, {"Master", "PCM", "Speaker"},
                          &MixerElementInfo::playbackVolume);
}

int FindMicElement(const std::vector<MixerElementInfo>& elements) {
    return FindFirstNamed(elements, {"Capture", "Mic"}, &MixerElementInfo::captureVolume);
}

bool IsBoostName(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* pattern : {"gain", "boost", "+20db"}) {
        if (lower.find(pattern) != std::string::npos) {
            return true;
        }
    }
    return false;
}

int FindBoostElement(const std::vector<MixerElementInfo>& elements) {
    for (size_t i = 0; i < elements.size(); ++i) {
        if (IsBoostName(elements[i].name)) {
            return int(i);
        }
    }
    return -1;
}
