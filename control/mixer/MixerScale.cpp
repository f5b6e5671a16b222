// SPDX-License-Identifier: GPL-3.0-or-later
// The host's 0..255 volume scale, its input rules, and its mapping onto an element's range.
#include "MixerScale.h"

#include <algorithm>

namespace {
// Element ranges are longs of any span; products with 16-bit values need more.
__extension__ typedef __int128 Wide;
constexpr Wide kControlSpan = 65535; // the 0..65535 control the scale was made for
constexpr int kMaxVolume = 255;
} // namespace

long MixerVolumeToElement(int volume, long min, long max) {
    volume = std::clamp(volume, 0, kMaxVolume);
    if (max <= min) {
        return min;
    }
    const Wide range = Wide(max) - Wide(min);
    const Wide control = Wide(volume) * 256;
    // Ceiling: the first element step whose control value reaches v * 256.
    const Wide step = (control * range + kControlSpan - 1) / kControlSpan;
    return long(Wide(min) + std::min(step, range));
}

int MixerVolumeFromElement(long value, long min, long max) {
    if (max <= min) {
        return 0;
    }
    const Wide range = Wide(max) - Wide(min);
    const Wide step = std::clamp(Wide(value) - Wide(min), Wide(0), range);
    const Wide control = step * kControlSpan / range;
    return int(control / 256);
}

int SpeakerInputVolume(int32_t requested) {
    const uint32_t asUnsigned = uint32_t(requested);
    return asUnsigned > uint32_t(kMaxVolume) ? kMaxVolume : int(asUnsigned);
}

int MicInputVolume(int32_t requested) {
    return int(uint32_t(requested) & 0xFFu);
}
