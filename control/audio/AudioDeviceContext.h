// SPDX-License-Identifier: GPL-3.0-or-later
// AudioDeviceContext: what a device is handed besides its setting: whom it tells what
// happens to it, where its audio is echoed for the canceller, and its timing log.
#pragma once

#include <functional>
#include <string>

class EchoReference;

// Called on whatever thread noticed (often a device thread) with Tavrino::AudioNotice
// bits; empty: nobody listens.
using AudioNotify = std::function<void(int notice)>;

struct AudioDeviceContext {
    AudioNotify notify;
    EchoReference* reference = nullptr; // outputs append what they play; null: nowhere
    std::string timingLog;              // WAV devices log their start there; empty: nowhere
};
