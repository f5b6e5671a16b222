// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the capture input (ALSA, WAV file or silence) from a setting or the environment.
#pragma once

#include "AudioInput.h"

#include <memory>
#include <string>

// `setting` is "alsa:DEVICE", "alsa" (the default device), "pulse:SOURCE", "pulse" (the
// server's default source), "file:PATH.wav" or "silence"; anything else gives nullptr.
// The input is created closed.
std::unique_ptr<AudioInput> CreateAudioInput(const std::string& setting);

// The input `forced` names (the control's TAVRINO_CAPTURE) when not empty, else the one
// chosen through AudioChoice, else the default; its buffers move the input level meter.
std::unique_ptr<AudioInput> CreateChosenAudioInput(const std::string& forced);

// "pulse" when a sound server answers, else "alsa:default".
std::string DefaultAudioSetting();
// The setting in force: `forced` when not empty, else `chosen`, else the default. A
// chosen server device with no server answering becomes "alsa:default", and
// `noServerNotice` is noted.
std::string ChosenAudioSetting(const std::string& forced, const std::string& chosen,
                               int noServerNotice);
