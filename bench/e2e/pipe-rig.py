#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Real-time rig between PulseAudio pipe devices, for measuring delay on the ALSA path.

    pipe-rig.py --said SAID.wav --mic MIC_FIFO --speaker SPK_FIFO --heard HEARD.wav --seconds N

Loops SAID (8 or 16 kHz mono s16) into MIC_FIFO (read by a module-pipe-source) at real
time, from the moment it starts, and records what arrives on SPK_FIFO (written by a
module-pipe-sink) into HEARD at SAID's rate. The sink writes one pipe buffer (4096 bytes) per
block, on the system clock, so it runs at 48 kHz stereo: 21 ms blocks, taken to begin
when they arrive. (At 8 kHz mono a block would be 256 ms long.) Prints the CLOCK_REALTIME ns of the first sample of each,
as wav-compare's --said-start and --heard-start want them:
    said_start: NS
    heard_start: NS
"""
import argparse
import os
import select
import signal
import time
import wave

DEVICE_RATE = 48000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--said", required=True)
    ap.add_argument("--mic", required=True)
    ap.add_argument("--speaker", required=True)
    ap.add_argument("--heard", required=True)
    ap.add_argument("--seconds", type=float, required=True)
    args = ap.parse_args()

    with wave.open(args.said, "rb") as w:
        said = w.readframes(w.getnframes())
        rate = w.getframerate()
    if DEVICE_RATE % rate:
        raise SystemExit(f"{args.said}: {rate} Hz does not divide {DEVICE_RATE}")
    step = DEVICE_RATE // rate
    chunk = rate // 50  # 20 ms
    spk = os.open(args.speaker, os.O_RDONLY | os.O_NONBLOCK)
    # RDWR: opening never waits for the reader; non-blocking: a source that stops reading
    # (no one records) loses the feed instead of holding the rig.
    mic = os.open(args.mic, os.O_RDWR | os.O_NONBLOCK)
    # Whatever the sink wrote before the rig listened is old; drop it.
    while select.select([spk], [], [], 0)[0]:
        try:
            if not os.read(spk, 65536):
                break
        except BlockingIOError:
            break
    heard = bytearray()
    heard_start = None
    pos = 0
    t0 = time.monotonic()
    said_start = time.time_ns()
    chunks = 0
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))  # ends early, still writes HEARD
    while not stop:
        now = time.monotonic()
        if now - t0 >= args.seconds:
            break
        # Write every 20 ms chunk that has fallen due, so the feed keeps real time.
        while chunks * chunk <= (now - t0) * rate:
            piece = b""
            while len(piece) < chunk * 2:
                take = min(chunk * 2 - len(piece), len(said) - pos)
                piece += said[pos:pos + take]
                pos = (pos + take) % len(said)
            # Each sample repeated up to 48 kHz, on both channels: the source runs at
            # 48 kHz stereo too.
            try:
                os.write(mic, b"".join(piece[i:i + 2] * (2 * step) for i in range(0, len(piece), 2)))
            except BlockingIOError:
                pass
            chunks += 1
        due = t0 + chunks * chunk / rate
        try:
            ready, _, _ = select.select([spk], [], [], max(0.0, due - time.monotonic()))
        except InterruptedError:
            continue
        if ready:
            try:
                data = os.read(spk, 65536)
            except BlockingIOError:
                data = b""
            if data:
                if heard_start is None:
                    heard_start = time.time_ns()
                heard += data
    # One frame in `step`, left channel: the stations' audio has nothing above half of
    # SAID's rate.
    frame = 4 * step  # bytes of 48 kHz stereo s16 per sample at SAID's rate
    heard = b"".join(heard[i:i + 2] for i in range(0, len(heard) - frame + 1, frame))
    with wave.open(args.heard, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(heard)
    print(f"said_start: {said_start}")
    print(f"heard_start: {heard_start or 0}")


if __name__ == "__main__":
    main()
