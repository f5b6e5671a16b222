// SPDX-License-Identifier: GPL-3.0-or-later
// The control's mixer methods: speaker and microphone volume, microphone boost.
#pragma once

#include "IMixerDevice.h"

#include <cstdint>

// On the default ALSA mixer. Each call opens the mixer, does one read or write and
// closes it again, so none needs Initialize and changes made elsewhere are seen at
// once. Failures record ERR_SPK_MIXER (speaker) or ERR_MIC_MIXER (microphone) in
// *objectError when it is not null; the boost functions report only FALSE.
bool MixerSetSpkVolume(int32_t volume, int32_t* objectError); // input range rules applied inside
int32_t MixerGetSpkVolume(int32_t* objectError);              // 0 no control, -1 read failed
bool MixerSetMicVolume(int32_t volume, int32_t* objectError);
int32_t MixerGetMicVolume(int32_t* objectError); // -1 on failure
bool MixerEnableMicBoost();
bool MixerDisableMicBoost();
bool MixerIsMicBoostEnable();

// The same on a mixer of the caller's choosing.
bool MixerSetSpkVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener);
int32_t MixerGetSpkVolume(int32_t* objectError, const MixerOpener& opener);
bool MixerSetMicVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener);
int32_t MixerGetMicVolume(int32_t* objectError, const MixerOpener& opener);
bool MixerEnableMicBoost(const MixerOpener& opener);
bool MixerDisableMicBoost(const MixerOpener& opener);
bool MixerIsMicBoostEnable(const MixerOpener& opener);
