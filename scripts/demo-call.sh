#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main job: a real call between TESSORAH and TESSORAR on this computer.
#
# Each station runs in its own process, from its own folder in a scratch
# directory, on its own loopback address (host 127.0.0.2, remote 127.0.0.3).
# The remote's microphone is a bundled speech sample, the host's another one,
# both at 16 kHz: the stations speak wideband voice (Opus) to each other; each
# side's speaker is a WAV file at the call's rate. Windows show where there is a display;
# elsewhere the stations run on Qt's offscreen platform. Expects a build in
# $BUILD_DIR (scripts/run-demo.sh makes it).
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$ROOT/scripts/lib-e2e.sh"
SECONDS_IN_CALL="${TESSORA_DEMO_SECONDS:-20}"
E2E_TOOLS="$BUILD_DIR/bin"

scratch="$(mktemp -d /tmp/tessora-demo.XXXXXX)"
log "scratch folder: $scratch (the user's own files are never touched)"
e2e_prepare "$scratch" "$BUILD_DIR"

remote_mic="$ROOT/data/speech-remote-16k.wav"
host_mic="$ROOT/data/speech-host-16k.wav"
host_heard="$scratch/host-heard.wav"
remote_heard="$scratch/remote-heard.wav"

: >"$scratch/host.log"; : >"$scratch/remote.log"
tail -q -n +1 -F "$scratch/host.log" "$scratch/remote.log" 2>/dev/null &
tail_pid=$!
cleanup() {
  kill "$tail_pid" 2>/dev/null || true
  [ -n "${E2E_REMOTE_PID:-}" ] && e2e_stop "$E2E_REMOTE_PID" || true
  [ -n "${E2E_HOST_PID:-}" ] && e2e_stop "$E2E_HOST_PID" || true
}
trap cleanup EXIT

log "starting the host station on $E2E_HOST_ADDR:$E2E_PORT"
e2e_start_host "file:$host_mic" "file:$host_heard"
e2e_wait_for "$scratch/host.log" 'online' 15

log "starting the remote station on $E2E_REMOTE_ADDR, calling connection \"Demo\""
e2e_start_remote Demo "file:$remote_mic" "file:$remote_heard"
# By status code, whatever the language (TESSORA_LANGUAGE) the stations word it in.
e2e_wait_for "$scratch/remote.log" '^status 53:' 30
e2e_wait_for "$scratch/host.log" '^status 53:' 10
# The stations negotiate the encrypted call by themselves; each says so once.
e2e_wait_for "$scratch/remote.log" '^security: encrypted$' 5
e2e_wait_for "$scratch/host.log" '^security: encrypted$' 5
log "the call is encrypted (CPace key exchange, ChaCha20-Poly1305 on every packet)"
e2e_wait_for "$scratch/remote.log" '^voice: ' 5

log "in call for $SECONDS_IN_CALL s: both sides talk at once"
sleep "$SECONDS_IN_CALL"

log "the remote hangs up (closing its window, as Exit does)"
e2e_stop "$E2E_REMOTE_PID"; E2E_REMOTE_PID=""
e2e_wait_for "$scratch/host.log" '^status 54:' 10
log "the host goes offline and closes"
e2e_stop "$E2E_HOST_PID"; E2E_HOST_PID=""
sleep 0.3
kill "$tail_pid" 2>/dev/null || true

echo
log "security and voice"
grep -h '^security\|^voice' "$scratch/remote.log" "$scratch/host.log" | sed 's/^/  /' || true
log "traffic"
grep -h 'traffic' "$scratch/remote.log" "$scratch/host.log" || true
log "each side's summary of the call (in: what it received; out: what the other received)"
for side in remote host; do
  sed -n "s/^call: /  $side  call: /p" "$scratch/$side.log"
done
echo
# One line a direction: mouth-to-ear delay, similarity (1 = identical), the
# highest frequency that came through, and the share of speech frames lost.
summary() {
  e2e_compare "$2" "$3" | awk -v what="$1" '
    { v[$1] = $2 }
    END { printf "  %s: delay %s ms, similarity %s, bandwidth %s Hz, dropouts %s %%\n",
                 what, v["delay_ms:"], v["similarity:"], v["bandwidth_hz:"], v["dropouts:"] }'
}
log "what each side heard of the other"
summary "remote -> host" "$remote_mic" "$host_heard"
summary "host -> remote" "$host_mic" "$remote_heard"
echo
log "recordings: host heard $host_heard"
log "            remote heard $remote_heard"
log "logs: $scratch/host.log, $scratch/remote.log"
