// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the audio output backend from a device setting.
#pragma once

#include "AudioDeviceContext.h"

#include <memory>
#include <string>

class AudioOutput;
class CAudioSession;

// "alsa:DEVICE" (or "alsa", or empty: "alsa:default"), "pulse:SINK" (or "pulse": the
// server's default sink), "file:PATH.wav", "null". Null, with the reason in `error`, for
// anything else. `context`: its notices, the echo reference it feeds, its timing log.
std::unique_ptr<AudioOutput> CreateAudioOutput(const std::string& setting, std::string* error,
                                               const AudioDeviceContext& context = {});

// The speaker of `session`'s playback setting, telling the session what happens to it and
// feeding its echo reference.
std::unique_ptr<AudioOutput> CreateSessionAudioOutput(CAudioSession& session, std::string* error);
