#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Callers the host does not admit. A disabled user ("Blocked") is refused at
# once: the host cancels the request and the remote reports the rejection. A
# user the host does not know ("Stranger") gets no answer at all: the remote
# repeats its request every 3 s and gives up when its 20 s time-out runs out.
E2E_PORT=29540
source "$(dirname "$0")/e2e-common.sh"

host silence null
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"
caller="$E2E_REMOTE_ADDR:$E2E_PORT"

e2e_log "the disabled user calls"
E2E_REMOTE_LOG="$E2E_SCRATCH/blocked.log"
remote Blocked silence null
expect "$E2E_REMOTE_LOG" '^status 57: Connection request is rejected by the host station\.$' 10 \
  "the disabled user is told the request was rejected"
expect "$E2E_HOST_LOG" "^call from $caller refused: user blocked is disabled\$" 1 \
  "the host refuses the disabled user"
stop "$E2E_REMOTE_PID" "the refused remote (its message box open)"

e2e_log "a user the host does not know calls"
E2E_REMOTE_LOG="$E2E_SCRATCH/stranger.log"
remote Stranger silence null
expect "$E2E_REMOTE_LOG" '^status 51: Connecting\.\.\.$' 10 "the unknown user's call goes out"
calling_ms=$(now_ms)
expect "$E2E_HOST_LOG" "^call from $caller not answered: unknown user\$" 5 "the host hears the unknown user"
# The remote logs the call's traffic the moment the call ends, before it
# tears its control down and shows the status line.
expect "$E2E_REMOTE_LOG" '^traffic: ' 25 "the unknown user's call times out"
timeout_ms=$(($(now_ms) - calling_ms))
expect "$E2E_REMOTE_LOG" '^status 50: Failed to connect\.$' 5 "the remote reports the time-out"
e2e_log "the unknown user's call failed after $timeout_ms ms"
# Polled every 100 ms, and the 51 line may show a little after the request left.
((timeout_ms >= 19500 && timeout_ms <= 21000)) ||
  fail "the call ended $timeout_ms ms after status 51; the remote's time-out is 20 s"
# The request went out at 0, 3, ..., 18 s and the host announced each copy to
# its program, which never answered one and logged the attempt once.
announced=$(count "$E2E_HOST_LOG" "^call from $caller not answered: unknown user\$")
[ "$announced" = 1 ] || fail "the host logged the unknown user's attempt $announced times, not once"
stop "$E2E_REMOTE_PID" "the timed-out remote (its message box open)"

# Neither caller ever got a call on the host.
expect_none "$E2E_HOST_LOG" '^status ' "no call was set up on the host"
expect_none "$E2E_HOST_LOG" 'accepted' "no caller was admitted"
[ "$(count "$E2E_HOST_LOG" '^call from')" = 2 ] || fail "the host heard of other calls than these"
stop "$E2E_HOST_PID" "the host"
e2e_pass
