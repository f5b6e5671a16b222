// SPDX-License-Identifier: GPL-3.0-or-later
// One playback stream: a looping output buffer with a small frame queue in front of it.
#include "CPlaybackStream.h"

#include "AudioOutputBuffer.h"

CPlaybackStream::CPlaybackStream() = default;

CPlaybackStream::~CPlaybackStream() = default;
