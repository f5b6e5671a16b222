#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The host ends the call. First as its operator does it: F5 (Run > Offline)
# in the host's window, which runs under a virtual X display, pressed as a
# real key with xdotool; the remote learns that the host hung up, while the
# host stays open, offline. F5 again brings it back online and it admits the
# next call; then it is closed (File > Exit, here by SIGTERM), which also
# hangs up first.
E2E_PORT=29520
source "$(dirname "$0")/e2e-common.sh"

command -v Xvfb >/dev/null || skip "needs Xvfb (package xvfb) for the host's window"
command -v xdotool >/dev/null || skip "needs xdotool (package xdotool) to press F5 in the host's window"

# A display of our own: Xvfb picks a free number and writes it when ready.
exec {display_fd}>"$E2E_SCRATCH/display"
Xvfb -displayfd "$display_fd" -nolisten tcp -screen 0 1024x768x24 >"$E2E_SCRATCH/xvfb.out" 2>&1 &
track $!
exec {display_fd}>&-
expect "$E2E_SCRATCH/display" '^[0-9]+$' 15 "Xvfb starts"
display=":$(cat "$E2E_SCRATCH/display")"
E2E_HOST_ENV=(DISPLAY="$display" QT_QPA_PLATFORM=xcb)
# On failure, what the display showed: the host's windows (a message box of
# its own, say) by name, and a screenshot in the scratch folder.
E2E_ON_FAILURE+=('echo "----- windows of the host on $display:"
  for w in $(DISPLAY=$display xdotool search --onlyvisible --pid "${host_pid:-0}" 2>/dev/null); do
    echo "$w $(DISPLAY=$display xdotool getwindowname "$w")"
  done
  DISPLAY=$display timeout 10 import -window root "$E2E_SCRATCH/screen.png" 2>/dev/null &&
    echo "screenshot: $E2E_SCRATCH/screen.png"')

# press_f5: gives the host's window the keyboard focus and presses F5 on it.
press_f5() {
  local window
  window=$(DISPLAY="$display" timeout 15 xdotool search --sync --onlyvisible --pid "$host_pid" \
             --name '^TESSORA-H ' | head -n 1) || true
  [ -n "$window" ] || fail "the host's window did not show on $display"
  DISPLAY="$display" xdotool windowfocus --sync "$window" key F5 ||
    fail "xdotool could not press F5 in the host's window"
}

host "file:$HOST_SAYS" "file:$E2E_SCRATCH/host-heard.wav"
host_pid=$E2E_HOST_PID
expect "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 15 "the host goes online"

remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote-heard.wav"
expect "$E2E_REMOTE_LOG" '^status 53:' 15 "the remote gets connected"
expect "$E2E_HOST_LOG" '^status 53:' 5 "the host gets connected"
sleep 4

e2e_log "F5 in the host's window: the host goes offline"
press_f5
expect "$E2E_REMOTE_LOG" '^status 54: Connection is disconnected by the host station\.$' 5 \
  "the host's hang-up reaches the remote"
# Going offline tears the control down, which logs the call's traffic.
expect "$E2E_HOST_LOG" '^traffic: ' 5 "the host goes offline"
kill -0 "$host_pid" 2>/dev/null || fail "the host closed instead of going offline"
expect_none "$E2E_REMOTE_LOG" '^status 52:' "the remote is told at once, not by supervision"

e2e_log "F5 again: the host comes back online and admits the next call"
press_f5
expect_count "$E2E_HOST_LOG" "^online on port $E2E_PORT\$" 2 10 "the host goes online again"
stop "$E2E_REMOTE_PID" "the first remote"
E2E_REMOTE_LOG="$E2E_SCRATCH/remote2.log"
remote Demo "file:$REMOTE_SAYS" "file:$E2E_SCRATCH/remote2-heard.wav"
expect "$E2E_REMOTE_LOG" '^status 53:' 15 "the second remote gets connected"
expect_count "$E2E_HOST_LOG" '^status 53:' 2 5 "the host gets connected again"
expect_count "$E2E_HOST_LOG" "^call from $E2E_REMOTE_ADDR:$E2E_PORT accepted: user demo \\(encrypted\\)\$" 2 1 \
  "the host admits the caller again"
sleep 8

e2e_log "the host closes (File > Exit) during the call"
stop "$host_pid" "the host"
expect "$E2E_REMOTE_LOG" '^status 54: Connection is disconnected by the host station\.$' 5 \
  "the hang-up of the closing host reaches the remote"
stop "$E2E_REMOTE_PID" "the second remote"

# The second call carried speech both ways: the host's playback started
# afresh when it came back online (its recording of the first call is
# replaced by the second's).
expect_heard "$REMOTE_SAYS" "$E2E_SCRATCH/host-heard.wav" "$HOST_SAYS" "the host heard the remote" 5 0.9
expect_heard "$HOST_SAYS" "$E2E_SCRATCH/remote2-heard.wav" "$REMOTE_SAYS" "the remote heard the host" 5 0.9
e2e_pass
