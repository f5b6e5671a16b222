#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The far end must not hear itself: the host's loudspeaker and microphone are PulseAudio
# pipe devices joined by audio-room's echo path, and what the remote hears of its own voice
# must be 25 dB quieter with the host's canceller on (the ALSA default) than off: 34 to 39 dB
# measured, also beside two busy loops; a reference a period out of line gave 14 to 20 dB.
E2E_PORT=29570
source "$(dirname "$0")/e2e-common.sh"
pactl info >/dev/null 2>&1 || skip "no PulseAudio server"
CALL_SECONDS=14
TAG="tessora_echo_$$"

# call NAME ECHO: one call with TAVRINO_ECHO=ECHO at the host; the remote hears into NAME.wav.
call() {
  local name="$1" spk="$E2E_SCRATCH/$1-spk" mic="$E2E_SCRATCH/$1-mic" sink source room
  sink=$(pactl load-module module-pipe-sink sink_name="${TAG}_${name}_spk" file="$spk" format=s16le \
    rate=8000 channels=1 use_system_clock_for_timing=yes) || fail "no pipe sink"
  E2E_CLEANUPS+=("pactl unload-module $sink")
  source=$(pactl load-module module-pipe-source source_name="${TAG}_${name}_mic" file="$mic" \
    format=s16le rate=8000 channels=1) || fail "no pipe source"
  E2E_CLEANUPS+=("pactl unload-module $source")
  "$E2E_TOOLS/audio-room" --speaker "$spk" --mic "$mic" --delay-ms 20 --gain 0.5 \
    --noise-dbfs -60 2>"$E2E_SCRATCH/$name-room.log" &
  room=$! && track "$room"
  E2E_HOST_LOG="$E2E_SCRATCH/$name-host.log" E2E_REMOTE_LOG="$E2E_SCRATCH/$name-remote.log"
  E2E_HOST_ENV=("PULSE_SINK=${TAG}_${name}_spk" "PULSE_SOURCE=${TAG}_${name}_mic" "TAVRINO_ECHO=$2")
  host alsa:default alsa:default
  expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online ($name)"
  remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/$name.wav"
  expect "$E2E_REMOTE_LOG" '^status 53: Successfully connected\.' 15 "the call starts ($name)"
  sleep "$CALL_SECONDS"
  stop "$E2E_REMOTE_PID" "the remote ($name)"
  stop "$E2E_HOST_PID" "the host ($name)"
  kill "$room" && wait "$room" 2>/dev/null || true
}

# level WAV: RMS in dBFS from second 6 on, once the canceller has converged.
level() { sox "$1" -n trim 6 stat 2>&1 | awk '/^RMS +amplitude/ { print 20 * log($3 + 1e-9) / log(10) }'; }

call off off
call on ""
off=$(level "$E2E_SCRATCH/off.wav") on=$(level "$E2E_SCRATCH/on.wav")
gain=$(awk -v a="$off" -v b="$on" 'BEGIN { print a - b }')
e2e_log "the remote hears its own voice at $off dBFS uncancelled, $on dBFS cancelled"
at_least "$gain" 25 || fail "the canceller took only $gain dB off the echo"
e2e_pass
