// SPDX-License-Identifier: GPL-3.0-or-later
// CGsmVoiceReceiver: received GSM frames decoded and played through a playback stream.
#pragma once

#include "CAcmCodec.h"
#include "IVoiceReceiver.h"

class CPlaybackDevice;
class CPlaybackStream;

// Pipeline: 195-byte frame -> decoder (a failed decode plays as 120 ms of silence) ->
// QueueFrame -> PlayQueued on the device's one stream.
//
// Threads: the control's thread only, like the playback device it plays through.
class CGsmVoiceReceiver : public IVoiceReceiver {
public:
    explicit CGsmVoiceReceiver(CPlaybackDevice& playback);
    ~CGsmVoiceReceiver() override;

    // The decoder and the stream; the playback device must be open. False, with nothing
    // kept, when either fails (ERR_SOUND_DEVICE).
    bool OpenDecoder();
    bool CreateStream();
    void Close(); // safe twice

    void Receive(const uint8_t* frame, int length) override;

private:
    CPlaybackDevice& m_playback;
    CAcmCodec m_decoder;
    CPlaybackStream* m_stream = nullptr; // owned by m_playback
};
