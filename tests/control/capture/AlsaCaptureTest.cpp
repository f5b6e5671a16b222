// SPDX-License-Identifier: GPL-3.0-or-later
// Capture through the real ALSA default device (a PulseAudio null source on headless machines).
#include "CAudioSession.h"
#include "CCaptureHolder.h"
#include "CaptureTestSupport.h"
#include "AlsaAudioInput.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

using namespace capturetest;

namespace {

bool DefaultCaptureAvailable() {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_close(pcm);
    return true;
}

class AlsaCapture : public testing::Test {
protected:
    void SetUp() override {
        if (!DefaultCaptureAvailable())
            GTEST_SKIP() << "the ALSA default capture device cannot be opened";
    }
};

} // namespace

TEST_F(AlsaCapture, FillsWholeBuffersAndResetReturnsTheRest) {
    AlsaAudioInput input("default");
    BufferLog log;
    ASSERT_TRUE(input.Open(log.Callback()));
    std::array<std::array<uint8_t, 1920>, 5> buffers{};
    for (auto& buffer : buffers)
        ASSERT_TRUE(input.AddBuffer(buffer.data(), 1920));
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(log.WaitFor(3, 15s));
    input.Reset();
    input.Close();
    const auto entries = log.Entries();
    ASSERT_EQ(entries.size(), 5u);
    for (size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(entries[k].buffer, buffers[k].data());
        if (k < 3) {
            EXPECT_EQ(entries[k].bytes, 1920);
        }
    }
    input.Close();
}

TEST_F(AlsaCapture, CaptureThreadDeliversFramesFromTheDefaultDevice) {
    RecordingSink sink;
    CAudioSession session; // no capture setting: the station's choice, else the default
    CCaptureHolder holder(session);
    ASSERT_TRUE(holder.Start(&sink));
    EXPECT_TRUE(sink.WaitForFrames(5, 15s));
    holder.Stop();
    const size_t atStop = sink.Count();
    for (const auto& frame : sink.Frames())
        EXPECT_EQ(frame.bytes.size(), 195u);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.Count(), atStop);
}
