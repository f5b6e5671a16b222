// SPDX-License-Identifier: GPL-3.0-or-later
// Speaker volume: playback volume of Master, else PCM, else Speaker; one call at a time.
#include "CSpeakerVolume.h"

#include "MixerElementNames.h"

#include <utility>

CSpeakerVolume::CSpeakerVolume(MixerOpener opener)
    : CMixerVolumeLookup(std::move(opener), &FindSpeakerElement, MixerDirection::Playback) {}
