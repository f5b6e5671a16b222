// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the audio output backend from a device setting.
#include "AudioOutputFactory.h"

#include "AlsaAudioOutput.h"
#include "CAudioSession.h"
#include "NullAudioOutput.h"
#include "PulseAudioOutput.h"
#include "WavFileAudioOutput.h"

namespace {

std::unique_ptr<AudioOutputStreamer> CreateStreamer(const std::string& setting,
                                                    const AudioDeviceContext& context,
                                                    std::string* error) {
    if (setting.empty() || setting == "alsa")
        return std::make_unique<AlsaAudioOutput>("default");
    if (setting.rfind("alsa:", 0) == 0 && setting.size() > 5)
        return std::make_unique<AlsaAudioOutput>(setting.substr(5));
    if (setting == "pulse" || setting.rfind("pulse:", 0) == 0)
        return std::make_unique<PulseAudioOutput>(setting.size() > 6 ? setting.substr(6) : std::string(),
                                                  context.notify);
    if (setting.rfind("file:", 0) == 0 && setting.size() > 5)
        return std::make_unique<WavFileAudioOutput>(setting.substr(5), context.timingLog);
    if (setting == "null")
        return std::make_unique<NullAudioOutput>();
    if (error != nullptr)
        *error = "unknown audio output \"" + setting + "\" (alsa:DEVICE, pulse:SINK, file:PATH.wav or null)";
    return nullptr;
}

} // namespace

std::unique_ptr<AudioOutput> CreateAudioOutput(const std::string& setting, std::string* error,
                                               const AudioDeviceContext& context) {
    auto output = CreateStreamer(setting, context, error);
    if (output != nullptr)
        output->SetEchoReference(context.reference);
    return output;
}

std::unique_ptr<AudioOutput> CreateSessionAudioOutput(CAudioSession& session, std::string* error) {
    return CreateAudioOutput(session.PlaybackSetting(), error, session.DeviceContext());
}
