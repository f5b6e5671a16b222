// SPDX-License-Identifier: GPL-3.0-or-later
// Wraps a capture input so that every filled buffer also moves the input level meter.
#include "MeteredAudioInput.h"

#include "AudioChoice.h"

bool MeteredAudioInput::Open(FilledCallback onFilled) {
    if (!onFilled)
        return false;
    return m_inner->Open([next = std::move(onFilled)](uint8_t* buffer, int bytes) {
        if (bytes > 0)
            AudioChoice::Instance().ReportLevel(reinterpret_cast<const int16_t*>(buffer),
                                                bytes / BYTES_PER_SAMPLE);
        next(buffer, bytes);
    });
}
