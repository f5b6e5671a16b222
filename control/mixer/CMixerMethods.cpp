// SPDX-License-Identifier: GPL-3.0-or-later
// CMixerMethods: the control's seven mixer methods.
#include "CMixerMethods.h"

#include "MixerControl.h"
#include "TavrinoStandardApi.h"

using namespace Tavrino;

bool CMixerMethods::Result(bool ok, int32_t error, int32_t fallback) {
    if (!ok)
        m_fail(error != 0 ? error : fallback);
    return ok;
}

bool CMixerMethods::SetSpkVolume(int32_t volume) {
    int32_t error = 0;
    return Result(MixerSetSpkVolume(volume, &error, AlsaMixerOpener(m_device())), error,
                  ERR_SPK_MIXER);
}

int32_t CMixerMethods::GetSpkVolume() {
    int32_t error = 0;
    const int32_t volume = MixerGetSpkVolume(&error, AlsaMixerOpener(m_device()));
    Result(error == 0, error, ERR_SPK_MIXER);
    return volume;
}

bool CMixerMethods::SetMicVolume(int32_t volume) {
    int32_t error = 0;
    return Result(MixerSetMicVolume(volume, &error, AlsaMixerOpener(m_device())), error,
                  ERR_MIC_MIXER);
}

int32_t CMixerMethods::GetMicVolume() {
    int32_t error = 0;
    const int32_t volume = MixerGetMicVolume(&error, AlsaMixerOpener(m_device()));
    Result(error == 0, error, ERR_MIC_MIXER);
    return volume;
}

bool CMixerMethods::EnableMicBoost() {
    return MixerEnableMicBoost(AlsaMixerOpener(m_device()));
}

bool CMixerMethods::DisableMicBoost() {
    return MixerDisableMicBoost(AlsaMixerOpener(m_device()));
}

bool CMixerMethods::IsMicBoostEnable() {
    return MixerIsMicBoostEnable(AlsaMixerOpener(m_device()));
}
