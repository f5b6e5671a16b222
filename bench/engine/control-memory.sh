#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# control-memory.sh: peak resident memory and CPU share of each side of a call between two tavrino-console processes.
#
#   bench/engine/control-memory.sh [BUILD_DIR] [SECONDS] [plain|encrypted]
#
# Holds a call of SECONDS (default 20) on 127.0.0.1, each console with a speech sample
# as microphone and a WAV file as speaker, and prints per side its peak resident memory
# (VmHWM) and the CPU it used during the call (utime+stime from /proc/PID/stat) as a
# percentage of one core, in total and per thread (clock ticks). Ports:
# TESSORA_BENCH_PORT (default 48611) and the next.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-20}
case ${3:-plain} in
  plain) crypto=DisableCryptography ;;
  encrypted) crypto=EnableCryptography ;;
  *) echo "control-memory: the third argument is plain or encrypted" >&2; exit 2 ;;
esac
bin=$build/bin
if [ ! -x "$bin/tavrino-console" ]; then
  echo "control-memory: no $bin/tavrino-console; build first" >&2
  exit 2
fi
host_port=${TESSORA_BENCH_PORT:-48611}
remote_port=$((host_port + 1))
tick=$(getconf CLK_TCK)

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Each console reads its commands from a FIFO that this script holds open, so it runs
# until told to quit.
mkfifo "$work/host.in" "$work/remote.in"
start_console() { # NAME MICROPHONE
  TAVRINO_CAPTURE="file:$2" TAVRINO_PLAYBACK="file:$work/$1-heard.wav" \
    TAVRINO_BIND_ADDRESS=127.0.0.1 QT_QPA_PLATFORM=offscreen \
    "$bin/tavrino-console" <"$work/$1.in" >"$work/$1.out" 2>&1 &
  pids+=("$!")
}
wait_for() { # FILE LINE
  for _ in $(seq 100); do
    grep -qxF -- "$2" "$1" && return 0
    sleep 0.1
  done
  echo "control-memory: no '$2' in $1:" >&2
  cat "$1" >&2
  exit 1
}
cpu_ticks() { # PATH_OF_PROC_ENTRY: utime + stime; the fields after the name, which ends with ')'
  sed 's/.*) //' "$1/stat" | awk '{ print $12 + $13 }'
}
thread_ticks() { # PID: one line per thread, "TID NAME TICKS"
  for task in "/proc/$1/task/"*; do
    echo "${task##*/} $(tr ' ' '_' <"$task/comm") $(cpu_ticks "$task")"
  done
}
peak_kib() { # PID
  awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"
}

start_console host "$root/data/speech-host.wav"
host=${pids[0]}
exec 3>"$work/host.in"
start_console remote "$root/data/speech-remote.wav"
remote=${pids[1]}
exec 4>"$work/remote.in"

echo "Initialize $host_port \"TESSORA\"" >&3
echo "$crypto" >&3
wait_for "$work/host.out" "= TRUE"
printf 'Initialize %s "TESSORA"\n%s\nConnect "127.0.0.1" %s "ID=a&Password=b" 20\n' \
  "$remote_port" "$crypto" "$host_port" >&4
wait_for "$work/host.out" "! OnConnectionEvent \"127.0.0.1\" $remote_port \"ID=a&Password=b\""
echo "AcceptIncomingCall \"127.0.0.1\" $remote_port 20" >&3
wait_for "$work/remote.out" "! OnStatusEvent 53"
wait_for "$work/host.out" "! OnStatusEvent 53"

start_ns=$(date +%s%N)
host_start=$(cpu_ticks "/proc/$host")
remote_start=$(cpu_ticks "/proc/$remote")
thread_ticks "$host" >"$work/host.threads0"
thread_ticks "$remote" >"$work/remote.threads0"
sleep "$seconds"
end_ns=$(date +%s%N)
host_end=$(cpu_ticks "/proc/$host")
remote_end=$(cpu_ticks "/proc/$remote")
thread_ticks "$host" >"$work/host.threads1"
thread_ticks "$remote" >"$work/remote.threads1"
host_peak=$(peak_kib "$host")
remote_peak=$(peak_kib "$remote")

printf 'Disconnect\nquit\n' >&4
exec 4>&-
wait_for "$work/host.out" "! OnStatusEvent 54"
echo quit >&3
exec 3>&-
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
pids=()

report() { # SIDE PEAK_KIB TICKS_START TICKS_END
  awk -v side="$1" -v peak="$2" -v ticks=$(($4 - $3)) -v hz="$tick" \
    -v ns=$((end_ns - start_ns)) \
    'BEGIN { printf "%-7s peak RSS %6.1f MiB   CPU %5.2f %% of one core (%d ticks of 1/%d s in %.1f s)\n",
             side, peak / 1024, 100 * (ticks / hz) / (ns / 1e9), ticks, hz, ns / 1e9 }'
}
per_thread() { # SIDE: ticks of each thread during the call, in order of creation
  awk 'NR == FNR { before[$1] = $3; next }
       { printf "%s%s %d", (FNR > 1 ? ", " : "        threads: "), $2, $3 - before[$1] }
       END { print "" }' "$work/$1.threads0" "$work/$1.threads1"
}
echo "call of ${seconds} s between two tavrino-console processes, file audio, ${3:-plain}"
report host "$host_peak" "$host_start" "$host_end"
per_thread host
report remote "$remote_peak" "$remote_start" "$remote_end"
per_thread remote
# The call carried speech both ways (1 = identical).
if [ -x "$bin/wav-compare" ]; then
  echo "host heard the remote: $("$bin/wav-compare" "$root/data/speech-remote.wav" "$work/host-heard.wav" | head -1)"
  echo "remote heard the host: $("$bin/wav-compare" "$root/data/speech-host.wav" "$work/remote-heard.wav" | head -1)"
fi
if [ "$status" -ne 0 ]; then
  echo "control-memory: a console did not exit cleanly" >&2
fi
exit "$status"
