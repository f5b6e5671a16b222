#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Real-time ends of PulseAudio pipe devices, for the device tests.

feed FIFO WAV SECONDS   writes the WAV's 8 kHz samples into a pipe source, looping, in real time
record FIFO LOG         reads a pipe sink; one line per 20 ms: wall time, peak, share of 1 kHz
"""
import array, math, sys, time, wave

CHUNK = 160  # 20 ms at 8 kHz


def feed(fifo, wav, seconds):
    with wave.open(wav) as w:
        data = w.readframes(w.getnframes())
    step = CHUNK * 2
    start = time.monotonic()
    with open(fifo, "wb", buffering=0) as out:
        for n in range(int(seconds * 50)):
            i = (n * step) % (len(data) - step)
            out.write(data[i:i + step])
            time.sleep(max(0.0, start + (n + 1) * 0.02 - time.monotonic()))


def tone_share(samples):
    # Goertzel at 1 kHz: the default source's sine, told apart from speech.
    coeff = 2 * math.cos(2 * math.pi * 1000 / 8000)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - coeff * s1 * s2
    energy = sum(x * x for x in samples) * len(samples) / 2
    return power / energy if energy else 0.0


def record(fifo, log):
    with open(fifo, "rb", buffering=0) as src, open(log, "w", buffering=1) as out:
        pending = b""
        while True:
            block = src.read(CHUNK * 2 - len(pending))
            if not block:
                return
            pending += block
            if len(pending) < CHUNK * 2:
                continue
            samples = array.array("h", pending)
            pending = b""
            out.write("%.3f %d %.2f\n" % (time.time(), max(abs(x) for x in samples), tone_share(samples)))


if __name__ == "__main__":
    if sys.argv[1] == "feed":
        feed(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    else:
        record(sys.argv[2], sys.argv[3])
