// SPDX-License-Identifier: GPL-3.0-or-later
// CMixerMethods: the control's seven mixer methods, on the ALSA mixer its settings name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Served by the control beside its other device methods; none needs Initialize.
//
// Threads: the control's thread.
class CMixerMethods {
public:
    // `device`: the ALSA control device of the next call (empty: "default"); `fail`
    // records an object error.
    CMixerMethods(std::function<std::string()> device, std::function<void(int32_t)> fail)
        : m_device(std::move(device)), m_fail(std::move(fail)) {}

    bool SetSpkVolume(int32_t volume);
    int32_t GetSpkVolume();
    bool SetMicVolume(int32_t volume);
    int32_t GetMicVolume();
    bool EnableMicBoost();
    bool DisableMicBoost();
    bool IsMicBoostEnable();

private:
    // `ok`, recording `error` (or `fallback` when the mixer gave none) when it is false.
    bool Result(bool ok, int32_t error, int32_t fallback);

    std::function<std::string()> m_device;
    std::function<void(int32_t)> m_fail;
};
