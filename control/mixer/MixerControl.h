// SPDX-License-Identifier: GPL-3.0-or-later
// The control's mixer methods: speaker and microphone volume, microphone boost.
#pragma once

#include "IMixerDevice.h"

#include <cstdint>

// On the mixer `opener` opens (AlsaMixerOpener: an ALSA control device). Each call opens
// the mixer, does one read or write and closes it again, so none needs Initialize and
// changes made elsewhere are seen at once. Failures record ERR_SPK_MIXER (speaker) or
// ERR_MIC_MIXER (microphone) in *objectError when it is not null; the boost functions
// report only FALSE. The volume setters apply the input range rules inside; the speaker
// getter gives 0 without a control and -1 when the read failed, the microphone's -1 on
// any failure.
bool MixerSetSpkVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener);
int32_t MixerGetSpkVolume(int32_t* objectError, const MixerOpener& opener);
bool MixerSetMicVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener);
int32_t MixerGetMicVolume(int32_t* objectError, const MixerOpener& opener);
bool MixerEnableMicBoost(const MixerOpener& opener);
bool MixerDisableMicBoost(const MixerOpener& opener);
bool MixerIsMicBoostEnable(const MixerOpener& opener);
