// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the capture input (PulseAudio, ALSA, WAV file or silence) from a device setting.
#pragma once

#include "AudioInput.h"
#include "AudioDeviceContext.h"

#include <memory>
#include <string>

class CAudioSession;

// `setting` is "alsa:DEVICE", "alsa" (the default device), "pulse:SOURCE", "pulse" (the
// server's default source), "file:PATH.wav" or "silence"; anything else gives nullptr.
// The input is created closed, with `context` (its notices and timing log).
std::unique_ptr<AudioInput> CreateAudioInput(const std::string& setting,
                                             const AudioDeviceContext& context = {});

// The microphone of `session`'s capture setting, telling the session what happens to it;
// its buffers move the session's input level meter.
std::unique_ptr<AudioInput> CreateSessionAudioInput(CAudioSession& session);

// "pulse" when a sound server answers, else "alsa:default".
std::string DefaultAudioSetting();
