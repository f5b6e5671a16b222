// SPDX-License-Identifier: GPL-3.0-or-later
// Plays received voice: opens the audio output and runs the looping-buffer playback streams.
#pragma once

#include "AudioSource.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

class AudioOutput;
class CAudioSession;
class CPlaybackStream;

// Pipeline: received frame -> QueueFrame -> PlayQueued -> Lock/copy/Unlock into the
// stream's looping buffer -> the output's device thread plays it from the play cursor.
//
// Threads: every method runs on the owner's (the control's) thread, and so does all of
// this object's state. The output backend runs its own device thread and guards the
// buffer memory and play cursor it shares with it.
class CPlaybackDevice {
public:
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>(std::string* error)>;

    explicit CPlaybackDevice(CAudioSession& session); // the session's speaker, at each Open
    explicit CPlaybackDevice(OutputFactory factory);  // for tests and tools
    ~CPlaybackDevice();
    CPlaybackDevice(const CPlaybackDevice&) = delete;
    CPlaybackDevice& operator=(const CPlaybackDevice&) = delete;

    // The output's rate at the next Open (8000 or 16000); 8000 unless told.
    void SetSampleRate(int rate) { m_rate = rate; }
    int SampleRate() const { return m_rate; }
    bool Open();                     // FALSE -> ERR_SOUND_DEVICE
    CPlaybackStream* CreateStream(); // owned by the device; nullptr -> ERR_SOUND_DEVICE
    bool QueueFrame(CPlaybackStream* s, const uint8_t* pcm, int length);
    bool PlayQueued(CPlaybackStream* s);
    void CheckIdleStreams();
    void SetMute(bool mute); // kept across Open/Close
    bool IsMuted() const;
    // A pulled source beside the streams (a wideband call's receiver), until removed or
    // until Close; muting silences it too.
    void AddSource(AudioSource* source);
    void RemoveSource(AudioSource* source);
    void Close(); // safe twice

    bool IsOpen() const { return m_output != nullptr; }
    // Why the last Open or CreateStream failed, for logs.
    const std::string& LastError() const { return m_lastError; }

private:
    bool Owns(const CPlaybackStream* s) const;
    void Reset(CPlaybackStream& s);

    OutputFactory m_factory;
    int m_rate = 8000;
    AudioSource* m_source = nullptr; // added to the output, behind the mute gate
    std::unique_ptr<AudioOutput> m_output;
    // Null before Open and after Close.
    std::unique_ptr<std::list<std::unique_ptr<CPlaybackStream>>> m_streams;
    std::atomic<int32_t> m_muted{0}; // the gate reads it on the device thread
    // The source as the output asks it: silent while muted (still pulled, so a jitter
    // buffer keeps time).
    struct MuteGate final : AudioSource {
        AudioSource* inner = nullptr; // set before the gate is added, cleared after removal
        const std::atomic<int32_t>* muted = nullptr;
        void Render(int16_t* out, size_t frames) override;
    } m_muteGate;
    std::string m_lastError;
};
