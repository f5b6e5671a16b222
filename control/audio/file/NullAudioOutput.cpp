// SPDX-License-Identifier: GPL-3.0-or-later
// Output that plays nothing: the play cursors advance in real time and the audio is dropped.
#include "NullAudioOutput.h"

NullAudioOutput::~NullAudioOutput() {
    Close();
}

bool NullAudioOutput::OpenSink(std::string*) {
    return true;
}

long NullAudioOutput::NextPeriod(std::string*) {
    return WaitForClock();
}

bool NullAudioOutput::WritePeriod(const int16_t*, size_t, std::string*) {
    return true;
}
