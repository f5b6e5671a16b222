#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Callers the host does not admit. A disabled user ("Blocked") is refused at
# once: the host cancels the request and the remote reports the rejection. A
# user the host does not know ("Stranger") is answered as a wrong password is,
# with an accept made from a password nobody holds, so that no answer tells a
# stranger which user names exist: the remote reports at once that the host did
# not accept its user name and password, and the host counts a failed attempt.
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
expect "$E2E_REMOTE_LOG" '^status 57: Connection request is rejected by the host station\.$' 10 \
  "the unknown user is told the host did not take the name and password"
expect "$E2E_HOST_LOG" "^call from $caller answered: unknown user \\(encrypted\\), awaiting its confirmation\$" 1 \
  "the host answers the unknown user as it would a wrong password"
stop "$E2E_REMOTE_PID" "the refused stranger (its message box open)"
expect "$E2E_HOST_LOG" "^call from $caller not confirmed in time: unknown user, counted as a failed password\$" 25 \
  "the host counts the unconfirmed attempt"
announced=$(count "$E2E_HOST_LOG" "^call from $caller answered: unknown user")
[ "$announced" = 1 ] || fail "the host logged the unknown user's attempt $announced times, not once"

# Neither caller ever got a call on the host.
expect_none "$E2E_HOST_LOG" '^status 53' "no call was set up on the host"
expect_none "$E2E_HOST_LOG" 'accepted' "no caller was admitted"
[ "$(count "$E2E_HOST_LOG" '^call from')" = 3 ] || fail "the host heard of other calls than these"
stop "$E2E_HOST_PID" "the host"
e2e_pass
