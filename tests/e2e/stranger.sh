#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A third party floods both stations with every datagram of a call and with
# password guesses. The call connects the right user and carries both sides'
# speech, unmixed; the guesser is blocked; the stranger gets only what any
# caller gets: "busy" from the host in a call, a reject from the remote.
E2E_PORT=29560
source "$(dirname "$0")/e2e-common.sh"
CALL_SECONDS=10
host "file:$HOST_SAYS" "file:$E2E_SCRATCH/host-heard.wav"
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"
# Every 5 ms to both: types 11 12 13 6 7 8 3 4 10 9, and a call request.
stranger=("$E2E_TOOLS/udp-stranger" --bind "$E2E_SPARE_ADDR:$E2E_PORT" --to "$E2E_HOST_ADDR:$E2E_PORT")
"${stranger[@]}" --to "$E2E_REMOTE_ADDR:$E2E_PORT" --every-ms 5 --for-ms 60000 --send 11 --send 12 \
  --send 13 --send 6 --send 7 --send 8 --send 3 --send 4:8 --send 10:195 --send 9:200 \
  --send "1=ID=demo&Password=guess%n" >"$E2E_SCRATCH/stranger.out" &
stranger_pid=$! && track "$stranger_pid"
expect "$E2E_HOST_LOG" "^calls from $E2E_SPARE_ADDR not answered for 60 s" 5 "the guesser is blocked"
remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote-heard.wav"
expect "$E2E_REMOTE_LOG" '^status 53: ' 15 "the remote gets connected"
connected_ms=$(now_ms)
expect "$E2E_HOST_LOG" "^call from $E2E_REMOTE_ADDR:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 5 "the host admits the remote"
expect "$E2E_HOST_LOG" '^status 53: ' 5 "the host gets connected"
sleep $((CALL_SECONDS - ($(now_ms) - connected_ms) / 1000))
for log in "$E2E_HOST_LOG" "$E2E_REMOTE_LOG"; do
  expect_none "$log" '^status (50|52|54|55|56|57|58):' "the stranger does not end the call"
done
stop "$E2E_REMOTE_PID" "the remote"
expect "$E2E_HOST_LOG" '^status 54: ' 5 "the remote's hang-up ends the host's call"
kill -TERM "$stranger_pid"
wait "$stranger_pid" || fail "udp-stranger ended badly"
# Blocked, the guesser is not answered even with the right password.
"${stranger[@]}" --send "1=ID=demo&Password=$E2E_PASSWORD" --for-ms 2000 >"$E2E_SCRATCH/right.out"
grep -q '^received:$' "$E2E_SCRATCH/right.out" || fail "the blocked guesser was answered"
stop "$E2E_HOST_PID" "the host"

read -r _ sent _ < <(grep '^sent:' "$E2E_SCRATCH/stranger.out")
((sent > CALL_SECONDS * 2 * 11 * 100)) || fail "the stranger sent only $sent datagrams"
grep -qE '^received:( 7=[0-9]+)?( 13=[0-9]+)?$' "$E2E_SCRATCH/stranger.out" ||
  fail "the stranger received more than the answers to its call requests"
expect_heard "$REMOTE_SAYS" "$E2E_SCRATCH/host-heard.wav" "$HOST_SAYS" "the host heard" 7 0.9
expect_heard "$HOST_SAYS" "$E2E_SCRATCH/remote-heard.wav" "$REMOTE_SAYS" "the remote heard" 7 0.9
e2e_pass
