// SPDX-License-Identifier: GPL-3.0-or-later
// The host's 0..255 volume scale, its input rules, and its mapping onto an element's range.
#pragma once

#include <cstdint>

// The host scale stands for the value v * 256 on a 0..65535 control, read back
// by dividing by 256 and truncating. That 0..65535 span is mapped linearly
// onto the element's own [min, max]. Writing picks the lowest element value
// that reads back as at least v, so Set(v) then Get() gives v back whenever
// any element value reads as v (a coarse range cannot hold every step).
long MixerVolumeToElement(int volume, long min, long max);
int MixerVolumeFromElement(long value, long min, long max);

// SetSpkVolume takes its argument as unsigned: above 255, negatives included, is 255.
int SpeakerInputVolume(int32_t requested);
// SetMicVolume keeps only the low 8 bits: 256 -> 0, 300 -> 44, -1 -> 255.
int MicInputVolume(int32_t requested);
