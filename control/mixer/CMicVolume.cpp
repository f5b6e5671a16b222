// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone volume: capture volume of Capture, else Mic; one call at a time.
#include "CMicVolume.h"

#include "MixerElementNames.h"

#include <utility>

CMicVolume::CMicVolume(MixerOpener opener)
    : CMixerVolumeLookup(std::move(opener), &FindMicElement, MixerDirection::Capture) {}
