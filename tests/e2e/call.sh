#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A whole call between the two real programs, hung up by the remote: both
# sides get connected in wideband voice, both talk at once and each hears the
# other with the highs a wideband call carries, a second
# caller is told the host is busy without disturbing the call, and when the
# remote closes its window the host learns that the remote hung up.
E2E_PORT=29510
source "$(dirname "$0")/e2e-common.sh"

CALL_SECONDS=12
host_heard="$E2E_SCRATCH/host-heard.wav"
remote_heard="$E2E_SCRATCH/remote-heard.wav"

HOST_SAYS=$HOST_SAYS_16K REMOTE_SAYS=$REMOTE_SAYS_16K
host "file:$HOST_SAYS" "file:$host_heard"
host_pid=$E2E_HOST_PID
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"

remote Demo "file:$REMOTE_SAYS" "file:$remote_heard"
remote_pid=$E2E_REMOTE_PID
expect "$E2E_REMOTE_LOG" '^status 53: Successfully connected\.' 15 "the remote gets connected"
connected_ms=$(now_ms)
expect "$E2E_HOST_LOG" '^status 53: Successfully connected\.' 5 "the host gets connected"
expect "$E2E_HOST_LOG" "^call from $E2E_REMOTE_ADDR:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 1 \
  "the host admits the demo user from the remote's address and port"

# A second caller during the call: the host is busy, and its control says so
# by itself, without announcing the caller to the program.
E2E_REMOTE_ADDR=$E2E_SPARE_ADDR E2E_REMOTE_LOG="$E2E_SCRATCH/busy.log" \
  remote Demo silence null
busy_pid=$E2E_REMOTE_PID
expect "$E2E_SCRATCH/busy.log" '^status 55: The host station is busy\.' 10 "a second caller is told the host is busy"
stop "$busy_pid" "the busy caller (its message box open)"
expect_none "$E2E_HOST_LOG" "^call from $E2E_SPARE_ADDR" "the busy caller reached the host program"

# Stations on a port in use say why on standard error, and SIGTERM ends their box.
E2E_HOST_LOG="$E2E_SCRATCH/taken-host.log" host silence null
expect "$E2E_SCRATCH/taken-host.log.err" 'Port is already in use' 10 "a host on a taken port says why"
stop "$E2E_HOST_PID" "the host on a taken port"
E2E_REMOTE_LOG="$E2E_SCRATCH/taken-remote.log" remote Demo silence null
expect "$E2E_SCRATCH/taken-remote.log.err" 'Port is already in use' 10 "a remote on a taken port says why"
stop "$E2E_REMOTE_PID" "the remote on a taken port"

sleep $((CALL_SECONDS - ($(now_ms) - connected_ms) / 1000))
for log in "$E2E_HOST_LOG" "$E2E_REMOTE_LOG"; do
  expect_none "$log" '^status (50|52|54|55|56|57|58):' "the call stays up, the busy caller notwithstanding"
done

# The remote hangs up: closing its window disconnects, as File > Exit does.
call_ms=$(($(now_ms) - connected_ms))
stop "$remote_pid" "the remote"
expect "$E2E_HOST_LOG" '^status 54: Connection is disconnected by the remote station\.' 5 \
  "the remote's hang-up reaches the host"
stop "$host_pid" "the host"

# Each side heard the other, for the whole call.
expect_heard "$REMOTE_SAYS" "$host_heard" "$HOST_SAYS" "the host heard the remote" $((CALL_SECONDS - 3)) 0.9
expect_heard "$HOST_SAYS" "$remote_heard" "$REMOTE_SAYS" "the remote heard the host" $((CALL_SECONDS - 3)) 0.9

# Mouth-to-ear delay: one 20 ms frame of capture, the jitter buffer's least
# target (40 ms) and the file devices' periods come to about 85 ms here; 200 ms
# is beyond any working wideband call, while a buffer that kept growing or a
# path that fell back to 120 ms GSM packets (240 ms) is beyond it.
# Bandwidth: speech reaches 7 kHz and more only through Opus at 16 kHz (GSM
# stops at 4 kHz). A clean link drops no speech frame.
for side in "$E2E_HOST_LOG" "$E2E_REMOTE_LOG"; do
  grep -q '^voice: wideband opus 16 kHz$' "$side" || fail "$(basename "$side" .log): the call was not wideband"
  # Each side sums the call up once it ended: over loopback, reports both ways and no loss.
  summary=$(grep '^call: ' "$side") || fail "$(basename "$side" .log) printed no summary of the call"
  e2e_log "$(basename "$side" .log): $summary"
  [[ "$summary" =~ ^call:\ 0m1[0-9]s\ rtt\ [0-9]+\ ms\ loss\ in\ 0\.0\ %\ out\ 0\.0\ %\ jitter\ [0-9]+\ ms\ concealed\ [0-9.]+\ %\ rating\ 4\.[0-9]$ ]] ||
    fail "$(basename "$side" .log): unexpected summary: $summary"
done
for pair in "$REMOTE_SAYS $host_heard remote->host" "$HOST_SAYS $remote_heard host->remote"; do
  set -- $pair
  report=$(e2e_compare "$1" "$2")
  delay=$(awk '$1 == "delay_ms:" { print $2 }' <<<"$report")
  bandwidth=$(awk '$1 == "bandwidth_hz:" { print $2 }' <<<"$report")
  dropouts=$(awk '$1 == "dropouts:" { print $2 }' <<<"$report")
  e2e_log "$3: mouth-to-ear delay $delay ms, bandwidth $bandwidth Hz, dropouts $dropouts %"
  at_most "$delay" 200 || fail "$3: mouth-to-ear delay $delay ms"
  at_least "$bandwidth" 7000 || fail "$3: bandwidth $bandwidth Hz"
  at_most "$dropouts" 1 || fail "$3: $dropouts % of the speech frames dropped out"
done

# Traffic: every datagram one side sent, the other received (loopback loses
# none), and the amount is one voice datagram per 20 ms of call, of 50 to 100
# bytes sealed (Opus's variable rate around 24 kbit/s, its seq and the seal).
# Each side counts until it closes, so the one that closed first may miss
# what the other sent in the same moment, and the host also counts the busy
# caller's request and its answer: two datagrams of slack.
read -r r_sent r_recv < <(sed -n 's/^traffic: sent \([0-9]*\) bytes, received \([0-9]*\) bytes$/\1 \2/p' "$E2E_REMOTE_LOG")
read -r h_sent h_recv < <(sed -n 's/^traffic: sent \([0-9]*\) bytes, received \([0-9]*\) bytes$/\1 \2/p' "$E2E_HOST_LOG")
[ -n "${r_sent:-}" ] && [ -n "${h_sent:-}" ] || fail "a station did not log its traffic"
e2e_log "traffic: remote sent $r_sent, received $r_recv; host sent $h_sent, received $h_recv; call $call_ms ms"
grep -q '^security: encrypted$' "$E2E_REMOTE_LOG" || fail "the call was not encrypted"
slack=500
((h_recv >= r_sent && h_recv - r_sent <= slack)) || fail "the host received $h_recv bytes of the remote's $r_sent"
((h_sent >= r_recv && h_sent - r_recv <= slack)) || fail "the remote received $r_recv bytes of the host's $h_sent"
# On the wire, with 28 bytes of IPv4 and UDP headers a datagram: at most 48 kbit/s.
for sent in "$r_sent" "$h_sent"; do
  kbits=$(awk -v s="$sent" -v ms="$call_ms" 'BEGIN { printf "%.1f", (s + ms / 20 * 28) * 8 / ms }')
  e2e_log "on the wire: $kbits kbit/s"
  awk -v s="$sent" -v ms="$call_ms" 'BEGIN { n = ms / 20; exit !(s >= 50 * n && s <= 100 * n) }' ||
    fail "$sent bytes sent in a call of $call_ms ms: not one wideband frame per 20 ms"
  at_most "$kbits" 48 || fail "$kbits kbit/s on the wire"
done
e2e_pass
