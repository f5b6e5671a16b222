// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the capture input (PulseAudio, ALSA, WAV file or silence) from a device setting.
#include "AudioInputFactory.h"

#include "AlsaAudioInput.h"
#include "CAudioSession.h"
#include "MeteredAudioInput.h"
#include "PulseAudioInput.h"
#include "PulseServer.h"
#include "SilenceAudioInput.h"
#include "WavFileAudioInput.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::unique_ptr<AudioInput> CreateAudioInput(const std::string& setting,
                                             const AudioDeviceContext& context) {
    if (setting == "silence")
        return std::make_unique<SilenceAudioInput>();
    if (setting == "alsa")
        return std::make_unique<AlsaAudioInput>("default");
    if (StartsWith(setting, "alsa:") && setting.size() > 5)
        return std::make_unique<AlsaAudioInput>(setting.substr(5));
    if (setting == "pulse" || StartsWith(setting, "pulse:"))
        return std::make_unique<PulseAudioInput>(setting.size() > 6 ? setting.substr(6) : std::string(),
                                                 context.notify);
    if (StartsWith(setting, "file:") && setting.size() > 5)
        return std::make_unique<WavFileAudioInput>(setting.substr(5), context.timingLog);
    return nullptr;
}

std::string DefaultAudioSetting() {
    return PulseServerAnswers() ? "pulse" : "alsa:default";
}

std::unique_ptr<AudioInput> CreateSessionAudioInput(CAudioSession& session) {
    auto input = CreateAudioInput(session.CaptureSetting(), session.DeviceContext());
    if (input == nullptr)
        return nullptr;
    return std::make_unique<MeteredAudioInput>(std::move(input), session);
}
