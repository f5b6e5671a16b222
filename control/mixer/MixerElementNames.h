// SPDX-License-Identifier: GPL-3.0-or-later
// Which mixer element plays speaker volume, microphone volume and microphone boost.
#pragma once

#include "IMixerDevice.h"

#include <string>
#include <vector>

// Each returns the index of the chosen element in `elements`, or -1.

// "Master", else "PCM", else "Speaker": the first of them with a playback volume.
int FindSpeakerElement(const std::vector<MixerElementInfo>& elements);
// "Capture", else "Mic": the first of them with a capture volume.
int FindMicElement(const std::vector<MixerElementInfo>& elements);
// The first element, in listing order, whose lower-cased name contains
// "gain", "boost" or "+20db". What it can do plays no part in the choice.
int FindBoostElement(const std::vector<MixerElementInfo>& elements);

bool IsBoostName(const std::string& name);
