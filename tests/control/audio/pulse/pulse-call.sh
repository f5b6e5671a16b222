#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Devices of a private PulseAudio server chosen by name through the control's extensions, in a
# call between two consoles: the list, speech both ways, a missing device, a microphone
# unplugged mid-call, the server killed mid-call. Usage: pulse-call.sh BIN_DIR DATA_DIR
set -euo pipefail
BIN="$1" DATA="$2" HERE="$(cd "$(dirname "$0")" && pwd)"
dir=$(mktemp -d /tmp/tessora-pulse.XXXXXX)
export XDG_RUNTIME_DIR="$dir/xdg" QT_QPA_PLATFORM=offscreen
mkdir -m700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER TAVRINO_CAPTURE TAVRINO_PLAYBACK TAVRINO_ECHO
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pulseaudio -k 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$dir"/*.log; do echo "--- $f"; tail -n 12 "$f"; done >&2
  exit 1
}
wait_for() { # LOG PATTERN SECONDS WHAT
  for ((i = 0; i < $3 * 10; i++)); do grep -qsE -- "$2" "$dir/$1.log" && return 0; sleep 0.1; done
  fail "$4"
}
console() { "$BIN/tavrino-console" <"$dir/$1.in" >"$dir/$1.log" 2>&1 & pids+=($!); }
last_answer() { sleep 0.5; grep '^= ' "$dir/$1.log" | tail -n 1 | cut -c3-; }

pulseaudio -D -n --exit-idle-time=-1 --load=module-native-protocol-unix >/dev/null 2>&1 || true
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
for s in A B; do
  pactl load-module module-pipe-source source_name=mic$s file="$dir/mic$s" format=s16le rate=8000 \
    channels=1 "source_properties=\"device.description='Headset $s Microphone'\"" >"$dir/mic$s.module"
  pactl load-module module-null-sink sink_name=spk$s \
    "sink_properties=\"device.description='Headset $s Speaker'\"" >/dev/null
done
# The defaults: a 1 kHz tone, told apart from speech, and a speaker nobody records.
sox -n -r 8000 -c 1 -b 16 "$dir/tone.wav" synth 5 sine 1000 vol 0.5
pactl load-module module-pipe-source source_name=tone file="$dir/tone" format=s16le rate=8000 channels=1 >/dev/null
pactl load-module module-null-sink sink_name=room >/dev/null
pactl set-default-source tone && pactl set-default-sink room

# The list names the devices with their descriptions and marks the server's defaults.
printf '#101\nquit\n' | "$BIN/tavrino-console" >"$dir/list.log"
for want in 'capture\\tpulse:micA\\tHeadset A Microphone' 'playback\\tpulse:spkB\\tHeadset B Speaker' \
  'capture\\tpulse:tone\\t[^\\]*\\tdefault' 'playback\\tpulse:room\\t[^\\]*\\tdefault'; do
  grep -q -- "$want" "$dir/list.log" || fail "the device list holds $want"
done
! grep -q 'monitor' "$dir/list.log" || fail "monitors are no microphones"

# A speaker missing at the start: the default plays, and the control says so.
printf '#103 "pulse:gone"\nInitialize 0 "K"\n#109\nUnInitialize\nquit\n' |
  "$BIN/tavrino-console" >"$dir/missing.log"
[ "$(sed -n 3p "$dir/missing.log")" = "= 2" ] || fail "a missing speaker is reported (notice 2)"

python3 "$HERE/pipe_audio.py" feed "$dir/tone" "$dir/tone.wav" 60 &
pids+=($!)
# A listener keeps the tone flowing, so the switch meets the tone of now, not a backlog.
parec -d tone --raw --latency-msec=20 >/dev/null &
pids+=($!)
for s in A B; do
  python3 "$HERE/pipe_audio.py" feed "$dir/mic$s" "$DATA/speech-$([ $s = A ] && echo host || echo remote).wav" 60 &
  pids+=($!)
  parec -d spk$s.monitor --raw --format=s16le --rate=8000 --channels=1 --latency-msec=20 |
    python3 "$HERE/pipe_audio.py" record /dev/stdin "$dir/heard$s.log" &
  pids+=($!)
  mkfifo "$dir/$s.in"
  console $s
done
exec 7>"$dir/A.in" 8>"$dir/B.in"
# Each control on a port the system chooses, read back so the other can call it.
printf '#102 "pulse:micA"\n#103 "pulse:spkA"\nInitialize 0 "K"\nDisableCryptography\nGetLocalPort\n' >&7
printf '#102 "pulse:micB"\n#103 "pulse:spkB"\nInitialize 0 "K"\nDisableCryptography\nGetLocalPort\n' >&8
answer() { # LOG N: the console's Nth answer, once it has given it
  for ((i = 0; i < 100; i++)); do
    a=$(grep '^= ' "$dir/$1.log" | sed -n "$2p" | cut -c3-)
    [ -n "$a" ] && echo "$a" && return 0
    sleep 0.1
  done
  fail "console $1 gives its answer $2"
}
portA=$(answer A 5) portB=$(answer B 5)
printf 'Connect "127.0.0.1" %s "ID=a&Password=b" 20\n' "$portA" >&8
wait_for A '^! OnConnectionEvent' 10 "A hears B's call"
printf 'AcceptIncomingCall "127.0.0.1" %s 20\n' "$portB" >&7
wait_for B '^! OnStatusEvent 53' 10 "the call stands"

# Speech both ways: loud chunks that are not the tone, over the last three seconds.
speech() { # LOG SINCE: the share of 20 ms chunks after SINCE that hold speech, in %
  awk -v t="$2" '$1 > t { n++; if ($2 > 1500 && $3 < 0.5) s++ } END { print n ? int(100 * s / n) : 0 }' \
    "$dir/heard$1.log"
}
sleep 5
since=$(date +%s.%N | awk '{ printf "%.3f", $1 - 3 }') # %g would round the epoch to 10^4 s
for s in A B; do
  (($(speech $s "$since") >= 20)) || fail "station $s hears the other's speech ($(speech $s "$since")%)"
done

# A's microphone unplugged: the default source (the tone) takes over within a second.
unplugged=$(date +%s.%N)
pactl unload-module "$(cat "$dir/micA.module")"
sleep 3
# The tone's first 100 ms run (five chunks in a row: speech can hold 1 kHz for a moment).
gap=$(awk -v t="$unplugged" '$1 > t && $2 > 1000 && $3 > 0.8 { if (!n++) first = $1; if (n == 5) { print first - t; exit } }
  !($1 > t && $2 > 1000 && $3 > 0.8) { n = 0 }' "$dir/heardB.log")
echo "tone heard at B ${gap:-never} s after the unplug (call delay included)"
[ -n "$gap" ] && awk -v g="$gap" 'BEGIN { exit !(g <= 1.5) }' || fail "the default source replaces the unplugged one"
! grep -q 'OnStatusEvent 5[24]' "$dir/A.log" "$dir/B.log" || fail "the call survives the unplug"
printf '#109\n' >&7
(($(last_answer A) == 4)) || fail "A reports the lost microphone (notice 4)"

# The server killed mid-call: both controls say so, the call stays up, nothing crashes.
kill -9 "$(cat "$XDG_RUNTIME_DIR/pulse/pid")"
sleep 2
for s in A B; do
  printf '#109\n' >&$([ $s = A ] && echo 7 || echo 8)
  notices=$(last_answer $s)
  (((notices & 16) != 0)) || fail "station $s reports the lost server (notices $notices)"
done
printf 'GetOutBoundTotalBytes\nwait 1000\nGetOutBoundTotalBytes\n' >&7
sleep 1.8
sent=($(grep '^= ' "$dir/A.log" | tail -n 2 | cut -c3-))
((sent[1] > sent[0])) || fail "A keeps sending after the server died (${sent[*]})"
printf 'Disconnect\n' >&8
wait_for A '^! OnStatusEvent 54' 5 "the hang-up still reaches A"
printf 'quit\n' >&7
printf 'quit\n' >&8
exec 7>&- 8>&-
for p in "${pids[4]}" "${pids[7]}"; do wait "$p" || fail "a console ended with status $?"; done
echo "PASS"
