# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash disable=SC2034
# Shared part of the end-to-end tests; sourced by each test, which is run as
#   bash TEST.sh BUILD_DIR
# It installs both stations from BUILD_DIR into a scratch folder of its own,
# and on exit stops every process it started (stations, relays, X servers),
# runs the test's own clean-ups and prints the stations' logs when it failed.
set -euo pipefail

[ $# -ge 1 ] && [ -d "$1/bin" ] || { echo "usage: bash $0 BUILD_DIR" >&2; exit 2; }
E2E_BUILD="$(cd "$1" && pwd)"
E2E_TOOLS="$E2E_BUILD/bin"
E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
E2E_DATA="$E2E_ROOT/data"
# Addresses of this run alone, so that runs from several build folders (or
# several tests) can share the computer: 127.0.0.0/8 is all loopback, and
# four addresses per process id fit in its 24 bits. A test that builds its
# own network sets its addresses before it sources this file. The ports the
# tests choose lie below the range the kernel hands out to unbound sockets.
_e2e_n=$(($$ * 4))
_e2e_net="127.$(((_e2e_n >> 16) & 255)).$(((_e2e_n >> 8) & 255))"
E2E_HOST_ADDR="${E2E_HOST_ADDR:-$_e2e_net.$(((_e2e_n & 255) + 1))}"
E2E_REMOTE_ADDR="${E2E_REMOTE_ADDR:-$_e2e_net.$(((_e2e_n & 255) + 2))}"
E2E_SPARE_ADDR="$_e2e_net.$(((_e2e_n & 255) + 3))"   # for a third station
# shellcheck source=../../scripts/lib-e2e.sh
source "$E2E_ROOT/scripts/lib-e2e.sh"

# The two speech samples: what each side says.
REMOTE_SAYS="$E2E_DATA/speech-remote.wav"
HOST_SAYS="$E2E_DATA/speech-host.wav"
# The same at 16 kHz, for the tests that measure what a wideband call carries.
REMOTE_SAYS_16K="$E2E_DATA/speech-remote-16k.wav"
HOST_SAYS_16K="$E2E_DATA/speech-host-16k.wav"

# narrowband_only host|remote: that station does not offer wideband voice (its Run menu
# switch off in the user's configuration), so its calls are GSM as stated.
narrowband_only() {
  local program=TESSORA-H
  [ "$1" = host ] || program=TESSORA-R
  mkdir -p "$E2E_DIR/config/HALVORN Corporation"
  printf '[Voice]\nWideband=false\n' >>"$E2E_DIR/config/HALVORN Corporation/$program.conf"
}

# How "heard" is judged: the recording of one side's speaker is cut into
# whole seconds, and each second that carries sound is lined up on its own
# with what the other side said (wav-compare). Each second on its own,
# because the playback restarts after a lost or late frame with a new lead
# (it has no jitter buffer, by design), which moves the rest of the audio by
# 20 to 40 ms; one alignment for a whole lossy call would count that as a
# mismatch although every word arrived. The first and last second with sound
# are left out: the call starts and ends inside them.
#
# Measured here, seconds of a clean call over loopback: 0.91 to 0.97 (GSM's
# own coding loss keeps it below 1); over the 5 % lossy link mostly 0.6 to
# 0.97, with one or two seconds in nineteen down to 0.24 where a lost frame
# and a restart fall. The same seconds against the wrong sample (the other
# side's speech, the negative control): 0.11 to 0.31, the best of ~90 000
# trial offsets between two unrelated voices. A second matches from 0.5 on;
# a test asks most of the seconds to match, and at most a fifth of them to
# match the wrong sample (none ever has).
PIECE_MATCH=0.5
WRONG_FRACTION_MAX=0.2

E2E_NAME="$(basename "$0" .sh)"
E2E_SCRATCH="$(mktemp -d "/tmp/tessora-e2e-$E2E_NAME.XXXXXX")"
E2E_PIDS=()         # every background process of the test
E2E_CLEANUPS=()     # commands run at exit, after the processes are gone
E2E_ON_FAILURE=()   # commands run first when the test failed, while all still runs
E2E_STATUS=1        # set to 0 by e2e_pass

e2e_log() { printf '[%s %s] %s\n' "$E2E_NAME" "$(date +%T)" "$*"; }

fail() {
  printf '[%s] FAIL: %s\n' "$E2E_NAME" "$*" >&2
  exit 1
}

e2e_pass() {
  E2E_STATUS=0
  e2e_log "PASS"
  exit 0
}

# skip MESSAGE: CTest reports the test as skipped (SKIP_RETURN_CODE 77).
skip() {
  printf '[%s] SKIPPED: %s\n' "$E2E_NAME" "$*"
  E2E_STATUS=77
  exit 77
}

# track PID: stopped at exit if it still runs.
track() { E2E_PIDS+=("$1"); }

_e2e_end_process() {
  local pid="$1" i
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 50; i++)); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

_e2e_exit() {
  local rc=$?
  trap - EXIT INT TERM
  set +e
  [ "$E2E_STATUS" = 0 ] || [ "$E2E_STATUS" = 77 ] || E2E_STATUS=$((rc == 0 ? 1 : rc))
  local i
  if [ "$E2E_STATUS" != 0 ] && [ "$E2E_STATUS" != 77 ]; then
    for ((i = 0; i < ${#E2E_PIDS[@]}; i++)); do
      if [ -e "/proc/${E2E_PIDS[$i]}" ]; then
        echo "----- process ${E2E_PIDS[$i]} runs: $(tr '\0' ' ' <"/proc/${E2E_PIDS[$i]}/cmdline" | cut -c1-100)"
      else
        echo "----- process ${E2E_PIDS[$i]} has ended"
      fi
    done
    for ((i = 0; i < ${#E2E_ON_FAILURE[@]}; i++)); do
      eval "${E2E_ON_FAILURE[$i]}" 2>&1
    done
  fi
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    _e2e_end_process "${E2E_PIDS[$i]}"
  done
  for ((i = ${#E2E_CLEANUPS[@]} - 1; i >= 0; i--)); do
    eval "${E2E_CLEANUPS[$i]}" >/dev/null 2>&1
  done
  if [ "$E2E_STATUS" != 0 ] && [ "$E2E_STATUS" != 77 ]; then
    local f
    for f in "$E2E_SCRATCH"/*.log "$E2E_SCRATCH"/*.log.err "$E2E_SCRATCH"/*.out; do
      [ -s "$f" ] || continue
      echo "----- $(basename "$f")"
      cat "$f"
    done
  fi
  # A failed test keeps its folder (recordings, logs, screenshots) for a look.
  if [ "${E2E_KEEP:-0}" = 1 ] || { [ "$E2E_STATUS" != 0 ] && [ "$E2E_STATUS" != 77 ]; }; then
    echo "scratch folder kept: $E2E_SCRATCH"
  else
    rm -rf "$E2E_SCRATCH"
  fi
  exit "$E2E_STATUS"
}
trap _e2e_exit EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# Stations: as the library starts them, each one tracked.
host() {   # MIC OUT [ARGS...]
  e2e_start_host "$@"
  track "$E2E_HOST_PID"
}
remote() { # CONNECTION MIC OUT [ARGS...]
  e2e_start_remote "$@"
  track "$E2E_REMOTE_PID"
}

# stop PID WHAT: closes a station as File > Exit does and expects it to end by
# itself with status 0.
stop() {
  e2e_stop "$1" || fail "$2 did not end within 15 s of SIGTERM"
  [ "$E2E_EXIT" = 0 ] || fail "$2 ended with status $E2E_EXIT after SIGTERM"
}

# expect FILE PATTERN SECONDS WHAT: FILE gets a line matching PATTERN in time.
expect() {
  e2e_wait_for "$1" "$2" "$3" 2>/dev/null || fail "$4 (no '$2' in $(basename "$1") within $3 s)"
}

# expect_none FILE PATTERN WHAT: FILE has no line matching PATTERN.
expect_none() {
  if grep -qE -- "$2" "$1" 2>/dev/null; then
    fail "$3 ($(basename "$1"): $(grep -E -- "$2" "$1" | head -1))"
  fi
}

# count FILE PATTERN: how many lines of FILE match.
count() {
  local n
  n=$(grep -cE -- "$2" "$1" 2>/dev/null) || true
  echo "${n:-0}"
}

# expect_count FILE PATTERN N SECONDS WHAT: FILE gets N lines matching PATTERN in time.
expect_count() {
  local i
  for ((i = 0; i < $4 * 10; i++)); do
    [ "$(count "$1" "$2")" -ge "$3" ] && return 0
    sleep 0.1
  done
  fail "$5 (fewer than $3 lines '$2' in $(basename "$1") after $4 s)"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# compare SAID HEARD KEY: one value of wav-compare's report.
compare() {
  e2e_compare "$1" "$2" | awk -v k="$3:" '$1 == k { print $2 }'
}

# at_least VALUE MIN, at_most VALUE MAX: numeric comparisons of decimals.
at_least() { awk -v v="$1" -v m="$2" 'BEGIN { exit !(v != "" && v + 0 >= m + 0) }'; }
at_most() { awk -v v="$1" -v m="$2" 'BEGIN { exit !(v != "" && v + 0 <= m + 0) }'; }

# _seconds SAID OTHER HEARD: one line "RMS SIMILARITY-TO-SAID SIMILARITY-TO-OTHER"
# for each whole second of HEARD, in order.
_seconds() {
  local said="$1" other="$2" heard="$3" dir p rms right wrong
  dir="$(mktemp -d "$E2E_SCRATCH/seconds.XXXXXX")"
  sox "$heard" "$dir/s.wav" trim 0 1 : newfile : restart 2>/dev/null || return 1
  for p in "$dir"/s*.wav; do
    [ "$(soxi -s "$p")" -ge 8000 ] || continue
    rms=$(sox "$p" -n stat 2>&1 | awk '/^RMS +amplitude/ { print $3 }')
    right=$("$E2E_TOOLS/wav-compare" "$said" "$p" | awk '$1 == "similarity:" { print $2 }')
    wrong=$("$E2E_TOOLS/wav-compare" "$other" "$p" | awk '$1 == "similarity:" { print $2 }')
    echo "$rms $right $wrong"
  done
  rm -rf "$dir"
}

# expect_heard SAID HEARD OTHER WHAT MIN_SECONDS MIN_FRACTION: HEARD carries
# sound for MIN_SECONDS or more whole seconds inside the call, at least
# MIN_FRACTION of them match SAID, and hardly any match OTHER, the other
# side's speech (the negative control: it shows the measure tells them apart).
expect_heard() {
  local said="$1" heard="$2" other="$3" what="$4" min_seconds="$5" min_fraction="$6" summary
  [ -s "$heard" ] || fail "$what: nothing was recorded in $(basename "$heard")"
  summary=$(_seconds "$said" "$other" "$heard" | awk -v m="$PIECE_MATCH" '
    $1 >= 0.005 { rms[n] = $1; right[n] = $2; wrong[n++] = $3 }
    END {
      for (i = 1; i < n - 1; i++) { inner++; r += right[i] >= m; w += wrong[i] >= m
                                    list = list sprintf(" %.2f", right[i]) }
      printf "%d %d %d%s\n", inner, r, w, list
    }') || fail "$what: cannot cut $(basename "$heard") into seconds"
  local seconds matched wrong_matched list
  read -r seconds matched wrong_matched list <<<"$summary"
  e2e_log "$what: $matched of $seconds seconds match (wrong sample: $wrong_matched); each:$list"
  [ "$seconds" -ge "$min_seconds" ] ||
    fail "$what: only $seconds seconds of sound inside the call, expected $min_seconds or more"
  at_least "$matched" "$(awk -v s="$seconds" -v f="$min_fraction" 'BEGIN { print s * f }')" ||
    fail "$what: only $matched of $seconds seconds match what was said"
  at_most "$wrong_matched" "$(awk -v s="$seconds" -v f="$WRONG_FRACTION_MAX" 'BEGIN { print s * f }')" ||
    fail "$what: $wrong_matched of $seconds seconds match the wrong sample too"
}

e2e_prepare "$E2E_SCRATCH" "$E2E_BUILD" || fail "cannot install the stations from $E2E_BUILD"
