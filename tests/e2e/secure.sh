#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Encrypted calls between the two real programs, through a relay that records
# every datagram: the call connects encrypted and speech arrives both ways,
# while no datagram holds the password or "ID=", and after the handshake every
# one is sealed (type 24). With the relay dropping the encrypted request, a
# remote by default never sends the stated one; allowed and not pinned it falls
# back and both sides say "not encrypted"; once pinned it does not.
#
#   remote ── relay (spare address) ── host
E2E_PORT=29590
source "$(dirname "$0")/e2e-common.sh"
# The remote's connections call the relay.
sed -i "s/IP Address=$E2E_HOST_ADDR&/IP Address=$E2E_SPARE_ADDR\&/" "$E2E_REMOTE_DIR/Connect.dat"

host_heard="$E2E_SCRATCH/host-heard.wav"
remote_heard="$E2E_SCRATCH/remote-heard.wav"
password_hex=$(printf '%s' "$E2E_PASSWORD" | od -An -tx1 | tr -d ' \n')

# relay NAME [--drop-type T]: a relay in front of the host, recording into NAME.rec.
relay() {
  local name="$1"; shift
  "$E2E_TOOLS/udp-impair" --front "$E2E_SPARE_ADDR:$E2E_PORT" --back "$E2E_SPARE_ADDR:$((E2E_PORT + 1))" \
    --to "$E2E_HOST_ADDR:$E2E_PORT" --record "$E2E_SCRATCH/$name.rec" "$@" >/dev/null 2>&1 &
  relay_pid=$!
  track "$relay_pid"
}
end_relay() { kill -TERM "$relay_pid"; wait "$relay_pid" || fail "the relay ended badly"; }
# sent TYPE NAME: how many datagrams of TYPE (two hex digits) the remote sent.
sent() { grep -c "^>$1" "$E2E_SCRATCH/$2.rec" || true; }

host "file:$HOST_SAYS" "file:$host_heard"
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"

# 1. The host's answer never arrives: a remote left as it is times out, stated never.
relay dropped --drop-type 20
E2E_REMOTE_LOG="$E2E_SCRATCH/strict.log" remote Demo silence null
expect "$E2E_SCRATCH/strict.log" '^status 50:' 25 "an unanswered encrypted call times out"
stop "$E2E_REMOTE_PID" "the strict remote"
[ "$(sent 01 dropped)" = 0 ] || fail "a remote that may not fall back sent a stated request"
[ "$(sent 14 dropped)" -ge 6 ] || fail "the remote did not repeat its encrypted request"

# 2. Unencrypted calls allowed for this run, and no pin: it falls back.
E2E_REMOTE_LOG="$E2E_SCRATCH/fallback.log" remote Demo silence null --allow-unencrypted
for log in "$E2E_SCRATCH/fallback.log" "$E2E_HOST_LOG"; do
  expect "$log" '^security: not encrypted$' 20 "$(basename "$log" .log) says the fallen-back call is not encrypted"
  expect "$log" '^voice: narrowband gsm 8 kHz$' 1 "$(basename "$log" .log) says the stated call is GSM"
done
stop "$E2E_REMOTE_PID" "the remote that fell back"
expect "$E2E_HOST_LOG" '^status 54:' 5 "the host hears the fallen-back call end"
end_relay
[ "$(sent 01 dropped)" -ge 1 ] || fail "the remote that may fall back never sent the stated request"

# 3. Through a relay that passes everything: encrypted, and speech both ways.
relay clear
remote Demo "file:$REMOTE_SAYS" "file:$remote_heard"
for log in "$E2E_REMOTE_LOG" "$E2E_HOST_LOG"; do
  expect "$log" '^security: encrypted$' 20 "$(basename "$log" .log) says the call is encrypted"
done
expect "$E2E_HOST_LOG" 'accepted: user demo \(encrypted\)$' 1 "the host admitted the user encrypted"
sleep 10
stop "$E2E_REMOTE_PID" "the remote"
expect_count "$E2E_HOST_LOG" '^status 54:' 2 5 "the sealed hang-up reaches the host"
end_relay
expect_heard "$REMOTE_SAYS" "$host_heard" "$HOST_SAYS" "the host heard the remote" 6 0.9
expect_heard "$HOST_SAYS" "$remote_heard" "$REMOTE_SAYS" "the remote heard the host" 6 0.9
rec="$E2E_SCRATCH/clear.rec"
! grep -q "$password_hex" "$rec" || fail "a datagram holds the password"
! grep -q '49443d' "$rec" || fail "a datagram holds the bytes ID="
# Each way, once the first sealed datagram (type 24) passed, nothing else does.
awk '{ way = substr($0, 1, 1); type = substr($0, 2, 2)
       if (sealed[way] && type != "18") bad++
       if (type == "18") sealed[way] = 1 }
     END { exit !(sealed[">"] && sealed["<"] && bad == 0) }' "$rec" ||
  fail "a datagram after the handshake was not sealed: $(grep -v '^.18' "$rec" | tail -1)"
e2e_log "recorded handshake and first sealed packets:"
grep -m 1 '^>14' "$rec"; grep -m 1 '^<15' "$rec"; grep -m 1 '^>16' "$rec"
grep -m 2 '^>18' "$rec"; grep -m 1 '^<18' "$rec"

# 4. Pinned by that call: allowed or not, the remote no longer falls back.
relay pinned --drop-type 20
E2E_REMOTE_LOG="$E2E_SCRATCH/pinned.log" remote Demo silence null --allow-unencrypted
expect "$E2E_SCRATCH/pinned.log" '^status 50:' 25 "a pinned connection times out"
stop "$E2E_REMOTE_PID" "the pinned remote"
end_relay
[ "$(sent 01 pinned)" = 0 ] || fail "a pinned connection fell back to a stated request"

stop "$E2E_HOST_PID" "the host"
e2e_pass
