#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A host that dies in the middle of a call (SIGKILL: no hang-up is sent).
# The remote notices by supervision alone: "connection is lost" 15 to 30 s
# after the host fell silent (a 15 s check that finds no keep-alive or voice
# since the one before). A host started again on the same port then admits
# the next call, and that call carries speech: GSM, as the host's operator
# turned wideband voice off before starting it again.
E2E_PORT=29530
source "$(dirname "$0")/e2e-common.sh"

host "file:$HOST_SAYS" null
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"
remote Demo "file:$REMOTE_SAYS" null
expect "$E2E_REMOTE_LOG" '^status 53:' 15 "the remote gets connected"
expect "$E2E_HOST_LOG" '^status 53:' 5 "the host gets connected"
sleep 3

e2e_log "SIGKILL to the host"
kill -KILL "$E2E_HOST_PID"
killed_ms=$(now_ms)
wait "$E2E_HOST_PID" 2>/dev/null || true
# The remote logs the call's traffic the moment the call ends, before it
# tears its control down and shows the status line.
expect "$E2E_REMOTE_LOG" '^traffic: ' 32 "the remote notices the lost host"
lost_ms=$(($(now_ms) - killed_ms))
expect "$E2E_REMOTE_LOG" '^status 52: Connection is lost\.$' 5 "the remote reports the lost call"
e2e_log "the remote lost the call $lost_ms ms after the host died"
# Polled every 100 ms, hence the half second of slack either way.
((lost_ms >= 14500 && lost_ms <= 30500)) ||
  fail "the call was lost $lost_ms ms after the host died; supervision gives 15 to 30 s"
expect_none "$E2E_REMOTE_LOG" '^status 5[04]:' "a dead host sends no hang-up"

e2e_log "the host starts again; a new remote calls"
E2E_HOST_LOG="$E2E_SCRATCH/host2.log"
narrowband_only host
host "file:$HOST_SAYS" "file:$E2E_SCRATCH/host2-heard.wav"
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the restarted host goes online on the same port"
stop "$E2E_REMOTE_PID" "the first remote"
E2E_REMOTE_LOG="$E2E_SCRATCH/remote2.log"
remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote2-heard.wav"
expect "$E2E_REMOTE_LOG" '^status 53:' 15 "the new remote gets connected"
expect "$E2E_HOST_LOG" '^status 53:' 5 "the restarted host gets connected"
expect "$E2E_HOST_LOG" "^call from $E2E_REMOTE_ADDR:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 1 \
  "the restarted host admits the caller"
for log in "$E2E_REMOTE_LOG" "$E2E_HOST_LOG"; do
  expect "$log" '^voice: narrowband gsm 8 kHz$' 1 "$(basename "$log" .log) says the call is GSM"
done
sleep 7
stop "$E2E_REMOTE_PID" "the second remote"
expect "$E2E_HOST_LOG" '^status 54:' 5 "the second call ends with the remote's hang-up"
stop "$E2E_HOST_PID" "the restarted host"

expect_heard "$REMOTE_SAYS" "$E2E_SCRATCH/host2-heard.wav" "$HOST_SAYS" "the restarted host heard the remote" 4 0.9
expect_heard "$HOST_SAYS" "$E2E_SCRATCH/remote2-heard.wav" "$REMOTE_SAYS" "the new remote heard the host" 4 0.9
e2e_pass
