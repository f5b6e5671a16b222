#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end call benchmark, run by hand (not part of the test suite):
#
#   BUILD_DIR=build bash bench/e2e/call-bench.sh [SECONDS]
#
# Runs a real call between TESSORAH and TESSORAR for SECONDS (default 60),
# both talking at once, through udp-impair with no loss and no delay (it
# counts the datagrams each way), and reports:
#   - mouth-to-ear delay in each direction, measured on the audio itself
#     (wav-compare, lined up on the clock by the stations' timing log);
#   - CPU time of each station over the call (the nanoseconds each thread ran,
#     from /proc/PID/task/*/schedstat), as a share of one core;
#   - peak resident memory of each station (VmHWM from /proc/PID/status,
#     read just before it is stopped);
#   - datagrams (the relay's counts) and bytes (the stations' own traffic
#     counters) each way;
#   - per thread of each station: CPU share and wake-ups per second
#     (voluntary context switches), from /proc/PID/task.
# With BENCH_AUDIO=alsa both stations use ALSA's default devices instead of
# WAV files (a PulseAudio server must answer; its null devices will do), so
# the CPU includes the real device layers and, unless TAVRINO_ECHO=off, the
# echo canceller. The remote's microphone and the host's speaker are then
# PulseAudio pipe devices (the other two stay the server's defaults), and
# pipe-rig.py feeds the remote's speech into the one and records the other in
# real time, so the remote->host delay is measured on the real ALSA path. The
# rig adds its own delay: run BENCH_AUDIO=rig to read it through a 20 ms
# PulseAudio loopback instead of a call. BENCH_AUDIO=pulse is the same rig with the
# stations on the control's own PulseAudio devices (pulse:NAME) instead of ALSA's.
# The call is encrypted, as the stations place it by default; BENCH_SECURITY=stated
# makes it a stated one (the relay drops the encrypted request, and the remote may
# fall back), so the two can be compared on the same devices in one run.
# It is wideband (Opus at 16 kHz, the 16 kHz samples), as two stations speak by
# default; BENCH_VOICE=gsm turns wideband voice off on the host, so the call is
# GSM at 8 kHz (the 8 kHz samples). The relay impairs the link with BENCH_LOSS
# (0..1), BENCH_DELAY_MS and BENCH_JITTER_MS (uniform 0..J more), the jitter
# ending after BENCH_JITTER_STOP_S seconds when that is set.
# With BENCH_TRACK_S set, the delay is also measured in pieces of that many
# seconds of the call (sox cuts the recording), one line each: how it moves
# over a long call, and how fast it comes back once the jitter stops.
# Aims of a wideband call: mouth-to-ear at most 100 ms on file devices and
# 150 ms on PulseAudio with the canceller; at 60 ms jitter at most 250 ms and
# not growing; bandwidth 7 kHz and up; at most 1 % of the speech frames lost at
# 10 % loss and at 60 ms jitter; at most 48 kbit/s a direction on the wire; each
# station at most 1.5 % of a core (canceller on) and 60 MiB resident.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD_DIR="$(cd "${BUILD_DIR:-$ROOT/build}" && pwd)"
CALL_SECONDS="${1:-60}"
E2E_TOOLS="$BUILD_DIR/bin"

E2E_HOST_ADDR=127.0.60.2
E2E_REMOTE_ADDR=127.0.60.3
E2E_PORT=29560
RELAY_FRONT=127.0.60.4   # the remote calls here
RELAY_BACK=127.0.60.5    # the host sees the call come from here
E2E_CALL_ADDR=$RELAY_FRONT
source "$ROOT/scripts/lib-e2e.sh"

say() { printf '== %s\n' "$*"; }

scratch="$(mktemp -d /tmp/tessora-bench.XXXXXX)"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && e2e_stop "$pid" >/dev/null 2>&1 || true
  done
  [ "${BENCH_KEEP:-0}" = 1 ] && say "scratch folder kept: $scratch" || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

e2e_prepare "$scratch" "$BUILD_DIR"
voice=${BENCH_VOICE:-wideband}
[ "$voice" = gsm ] && {
  mkdir -p "$scratch/config/HALVORN Corporation"
  printf '[Voice]\nWideband=false\n' >"$scratch/config/HALVORN Corporation/TESSORA-H.conf"
}
"$E2E_TOOLS/udp-impair" --front "$RELAY_FRONT:$E2E_PORT" --back "$RELAY_BACK:$E2E_PORT" \
  --to "$E2E_HOST_ADDR:$E2E_PORT" --loss "${BENCH_LOSS:-0}" --delay-ms "${BENCH_DELAY_MS:-0}" \
  --jitter-ms "${BENCH_JITTER_MS:-0}" --seed "${BENCH_SEED:-7}" \
  ${BENCH_JITTER_STOP_S:+--jitter-stop-after-s "$BENCH_JITTER_STOP_S"} \
  $([ "${BENCH_SECURITY:-encrypted}" = stated ] && echo --drop-type 20) >"$scratch/relay.out" 2>&1 &
remote_args=()
[ "${BENCH_SECURITY:-encrypted}" = stated ] && remote_args=(--allow-unencrypted)
relay_pid=$!
pids+=("$relay_pid")

if [ "$voice" = gsm ]; then
  remote_says="$ROOT/data/speech-remote.wav" host_says="$ROOT/data/speech-host.wav"
else
  remote_says="$ROOT/data/speech-remote-16k.wav" host_says="$ROOT/data/speech-host-16k.wav"
fi
host_heard="$scratch/host-heard.wav"
remote_heard="$scratch/remote-heard.wav"

# pipe_devices: a pipe source and a pipe sink named after this run, and the rig
# between them, started in the background for the call's length and a margin.
pipe_devices() {
  local tag="tessora_bench_$$" id
  id=$(pactl load-module module-pipe-source source_name="${tag}_mic" file="$scratch/mic" \
    format=s16le rate=48000 channels=2)
  unloads+=("$id")
  id=$(pactl load-module module-pipe-sink sink_name="${tag}_spk" file="$scratch/spk" \
    format=s16le rate=48000 channels=2 use_system_clock_for_timing=yes)
  unloads+=("$id")
  PIPE_MIC="${tag}_mic" PIPE_SPK="${tag}_spk"
  python3 "$ROOT/bench/e2e/pipe-rig.py" --said "$remote_says" --mic "$scratch/mic" \
    --speaker "$scratch/spk" --heard "$host_heard" --seconds "$1" >"$scratch/rig.out" &
  rig_pid=$!
  pids+=("$rig_pid")
}
# rig_compare: wav-compare's report on what the rig fed and recorded (after a
# wait for the rig, outside a command substitution).
rig_start() { awk -v k="$1:" '$1 == k { print $2 }' "$scratch/rig.out"; }
rig_compare() {
  "$E2E_TOOLS/wav-compare" "$remote_says" "$host_heard" \
    --said-start "$(rig_start said_start)" --heard-start "$(rig_start heard_start)"
}
unloads=()
rig_pid=""
unload_all() { # the loopback before the devices it joins
  local i
  for ((i = ${#unloads[@]} - 1; i >= 0; i--)); do pactl unload-module "${unloads[i]}" || true; done
}
trap 'unload_all; cleanup' EXIT

if [ "${BENCH_AUDIO:-file}" = rig ]; then
  pipe_devices "$CALL_SECONDS"
  unloads+=("$(pactl load-module module-loopback source="$PIPE_MIC" sink="$PIPE_SPK" latency_msec=20)")
  wait "$rig_pid" || true
  rig_compare
  exit 0
fi
real=${BENCH_AUDIO:-file}
if [ "$real" = alsa ]; then
  pipe_devices $((CALL_SECONDS + 45))
  E2E_HOST_ENV=("PULSE_SINK=$PIPE_SPK")
  E2E_REMOTE_ENV=("PULSE_SOURCE=$PIPE_MIC")
  e2e_start_host alsa:default alsa:default
elif [ "$real" = pulse ]; then
  pipe_devices $((CALL_SECONDS + 45))
  e2e_start_host pulse "pulse:$PIPE_SPK"
else
  e2e_start_host "file:$host_says" "file:$host_heard"
fi
pids+=("$E2E_HOST_PID")
e2e_wait_for "$E2E_HOST_LOG" '^online on port' 15
if [ "$real" = alsa ]; then
  e2e_start_remote Demo alsa:default alsa:default "${remote_args[@]}"
elif [ "$real" = pulse ]; then
  e2e_start_remote Demo "pulse:$PIPE_MIC" pulse "${remote_args[@]}"
else
  e2e_start_remote Demo "file:$remote_says" "file:$remote_heard" "${remote_args[@]}"
fi
pids+=("$E2E_REMOTE_PID")
e2e_wait_for "$E2E_REMOTE_LOG" '^status 53:' 15
e2e_wait_for "$E2E_HOST_LOG" '^status 53:' 5

# status_kib PID FIELD: a size from /proc/PID/status, in KiB.
status_kib() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }

# threads PID: one line per thread: id, name, nanoseconds on a CPU (schedstat: exact,
# where utime and stime count 10 ms ticks), voluntary context switches (each one a
# wake-up after a sleep).
threads() {
  local t
  for t in /proc/"$1"/task/*; do
    printf '%s %s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" "$(cut -d' ' -f1 "$t/schedstat")" \
      "$(awk '$1 == "voluntary_ctxt_switches:" { print $2 }' "$t/status")"
  done 2>/dev/null
}
# cpu_ns BEFORE AFTER: nanoseconds the process's threads ran between two snapshots (a
# thread started meanwhile counts whole; none ends during a call).
cpu_ns() { awk 'NR == FNR { t[$1] = $3; next } { s += $3 - t[$1] } END { printf "%.0f", s }' "$1" "$2"; }
start_ns=$(date +%s%N)
threads "$E2E_HOST_PID" >"$scratch/host-threads0"; threads "$E2E_REMOTE_PID" >"$scratch/remote-threads0"
say "in call for $CALL_SECONDS s, both sides talking"
sleep "$CALL_SECONDS"
threads "$E2E_HOST_PID" >"$scratch/host-threads1"; threads "$E2E_REMOTE_PID" >"$scratch/remote-threads1"
elapsed_ns=$(($(date +%s%N) - start_ns))
host_hwm=$(status_kib "$E2E_HOST_PID" VmHWM); remote_hwm=$(status_kib "$E2E_REMOTE_PID" VmHWM)
host_rss=$(status_kib "$E2E_HOST_PID" VmRSS); remote_rss=$(status_kib "$E2E_REMOTE_PID" VmRSS)

e2e_stop "$E2E_REMOTE_PID"
e2e_wait_for "$E2E_HOST_LOG" '^status 54:' 5 || true
e2e_stop "$E2E_HOST_PID"
kill -TERM "$relay_pid"; wait "$relay_pid" || true

read -r _ dg_up dg_down < <(grep '^forwarded:' "$scratch/relay.out")
traffic() { sed -n 's/^traffic: sent \([0-9]*\) bytes, received \([0-9]*\) bytes$/\1 \2/p' "$1" | tail -n 1; }
read -r r_sent r_recv < <(traffic "$E2E_REMOTE_LOG")
read -r h_sent h_recv < <(traffic "$E2E_HOST_LOG")
field() { awk -v k="$1:" '$1 == k { print $2 }'; }
up_report="" down_report=""
if [ "$real" != file ]; then
  kill -TERM "$rig_pid" 2>/dev/null || true
  wait "$rig_pid" || true
  up_report=$(rig_compare)
else
  up_report=$(e2e_compare "$remote_says" "$host_heard")
  down_report=$(e2e_compare "$host_says" "$remote_heard")
fi
up_delay=$(field delay_ms <<<"$up_report"); up_sim=$(field similarity <<<"$up_report")
down_delay=$(field delay_ms <<<"$down_report"); down_sim=$(field similarity <<<"$down_report")
up_band=$(field bandwidth_hz <<<"$up_report"); down_band=$(field bandwidth_hz <<<"$down_report")
up_drop=$(field dropouts <<<"$up_report"); down_drop=$(field dropouts <<<"$down_report")

# track SAID HEARD SAID_NS HEARD_NS: "second delay_ms" for each piece of HEARD.
track() {
  local said="$1" heard="$2" ts="$3" th="$4" piece="$BENCH_TRACK_S" total at d
  total=$(soxi -D "$heard" | awk '{ printf "%d", $1 }')
  for ((at = piece; at + piece <= total - piece; at += piece)); do
    sox "$heard" "$scratch/piece.wav" trim "$at" "$piece"
    d=$("$E2E_TOOLS/wav-compare" "$said" "$scratch/piece.wav" --said-start "$ts" \
      --heard-start $((th + at * 1000000000)) | field delay_ms)
    echo "$at $d"
  done
}

cpu() { awk -v t="$1" -v ns="$elapsed_ns" 'BEGIN { printf "%.2f", 100 * t / ns }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
host_cpu=$(cpu "$(cpu_ns "$scratch/host-threads0" "$scratch/host-threads1")")
remote_cpu=$(cpu "$(cpu_ns "$scratch/remote-threads0" "$scratch/remote-threads1")")
verdict() { awk -v v="$1" -v max="$2" 'BEGIN { print (v + 0 <= max + 0 ? "aim met" : "AIM MISSED") }'; }

echo
say "call of $(awk -v ns="$elapsed_ns" 'BEGIN { printf "%.1f", ns / 1e9 }') s through udp-impair (no loss), $(grep -h -m1 '^security:' "$E2E_REMOTE_LOG")"
printf '%-34s %12s %12s   %s\n' "" "remote->host" "host->remote" "aim"
delay_aim=$([ "$real" = file ] && echo 100 || echo 150)
[ "${BENCH_JITTER_MS:-0}" -gt 0 ] && delay_aim=250
[ "$voice" = gsm ] && delay_aim=270
wire() { awk -v b="$1" -v n="$2" -v ns="$elapsed_ns" 'BEGIN { if (b != "" && n != "") printf "%.1f", (b + 28 * n) * 8 / (ns / 1e6) }'; }
printf '%-34s %12s %12s   %s / %s\n' "mouth-to-ear delay (ms)" "$up_delay" "$down_delay" \
  "$(verdict "$up_delay" "$delay_aim")" "$(verdict "$down_delay" "$delay_aim")"
printf '%-34s %12s %12s\n' "similarity of what was heard" "$up_sim" "$down_sim"
printf '%-34s %12s %12s   %s\n' "bandwidth (Hz)" "$up_band" "$down_band" "$([ "$voice" = gsm ] || echo "7000 and up")"
printf '%-34s %12s %12s   %s / %s\n' "speech frames lost (%)" "$up_drop" "$down_drop" \
  "$(verdict "$up_drop" 1)" "$(verdict "$down_drop" 1)"
printf '%-34s %12s %12s   %s / %s\n' "on the wire (kbit/s, IP+UDP)" "$(wire "$r_sent" "$dg_up")" "$(wire "$h_sent" "$dg_down")" \
  "$(verdict "$(wire "$r_sent" "$dg_up")" 48)" "$(verdict "$(wire "$h_sent" "$dg_down")" 48)"
printf '%-34s %12s %12s\n' "datagrams through the relay" "$dg_up" "$dg_down"
printf '%-34s %12s %12s\n' "bytes sent (sender's counter)" "$r_sent" "$h_sent"
printf '%-34s %12s %12s\n' "bytes received (receiver's counter)" "$h_recv" "$r_recv"
echo
printf '%-34s %12s %12s   %s\n' "" "host" "remote" "aim"
printf '%-34s %12s %12s   %s / %s\n' "CPU over the call (% of one core)" "$host_cpu" "$remote_cpu" \
  "$(verdict "$host_cpu" 1.5)" "$(verdict "$remote_cpu" 1.5)"
printf '%-34s %12s %12s   %s / %s\n' "peak resident memory (MiB)" "$(mib "$host_hwm")" "$(mib "$remote_hwm")" \
  "$(verdict "$(mib "$host_hwm")" 60)" "$(verdict "$(mib "$remote_hwm")" 60)"
printf '%-34s %12s %12s\n' "resident at the end (MiB)" "$(mib "$host_rss")" "$(mib "$remote_rss")"
# Per thread over the call: CPU share of one core and wake-ups per second.
for side in host remote; do
  echo
  printf '%-34s %12s %12s\n' "$side thread" "CPU %" "wake-ups/s"
  awk -v ns="$elapsed_ns" 'NR == FNR { t[$1] = $3; w[$1] = $4; next }
    ($1 in t) { printf "%-34s %12.3f %12.1f\n", $2 " (" $1 ")", 100 * ($3 - t[$1]) / ns,
                ($4 - w[$1]) / (ns / 1e9) }' "$scratch/$side-threads0" "$scratch/$side-threads1"
done
if [ -n "${BENCH_TRACK_S:-}" ]; then
  echo
  say "delay over the call, remote->host, in pieces of $BENCH_TRACK_S s (second, ms)"
  if [ "$real" = file ]; then
    track "$remote_says" "$host_heard" "$(e2e_start_time "$remote_says")" "$(e2e_start_time "$host_heard")"
  else
    track "$remote_says" "$host_heard" "$(rig_start said_start)" "$(rig_start heard_start)"
  fi
fi
