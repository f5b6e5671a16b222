#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a desktop of its own: Xvfb on a free display, a private session bus,
# the notification server dunst and (unless --no-tray) the X11 tray trayer. Stops them all
# at the end and exits with the command's status.
# Usage: desktop-session.sh [--no-tray] COMMAND [ARG...]
set -euo pipefail
tray=1
[ "${1:-}" = --no-tray ] && { tray=0; shift; }
scratch="$(mktemp -d /tmp/tessora-desktop.XXXXXX)"
pids=()
cleanup() {
  local pid
  for pid in ${pids[@]+"${pids[@]}"}; do kill "$pid" 2>/dev/null || true; done
  for pid in ${pids[@]+"${pids[@]}"}; do wait "$pid" 2>/dev/null || true; done
  [ -n "${DBUS_PID:-}" ] && kill "$DBUS_PID" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# -displayfd: the server picks a free display number and writes it once it listens.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { cat "$scratch/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

read -r DBUS_SESSION_BUS_ADDRESS DBUS_PID < <(dbus-daemon --session --fork --print-address=1 \
  --print-pid=1 | paste -sd ' ')
export DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/config"
mkdir -p -m700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"

dunst -conf /dev/null >"$scratch/dunst.log" 2>&1 &
pids+=($!)
if [ "$tray" = 1 ]; then
  trayer --edge top --align right --widthtype request --height 32 >"$scratch/trayer.log" 2>&1 &
  pids+=($!)
fi
# The notification service owns its name; the test itself waits for the tray.
for _ in $(seq 100); do dunstctl is-paused >/dev/null 2>&1 && break; sleep 0.1; done
QT_QPA_PLATFORM=xcb "$@" # the trap keeps its status
