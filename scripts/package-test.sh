#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as an operator gets it:
#   1. builds it (scripts/package.sh);
#   2. checks it with lintian: no errors;
#   3. installs it with apt-get;
#   4. as an ordinary user made for the test, starts each installed station
#      once (they create their folders in the user's data folder), then runs a
#      real call between `tessorah --online` and `tessorar --connect Demo` on
#      two loopback addresses of this run, with WAV files as microphones and
#      speakers;
#   5. checks that the stations' files were written there, owner-only, that
#      nothing was written beside the programs, and that each side heard
#      what the other said;
#   6. purges the package and checks that nothing of it is left, while the
#      user's own files stay.
# Usage, as root: bash scripts/package-test.sh [BUILD_DIR]
# BUILD_DIR holds the test tool bin/wav-compare (default build/). Exits 77
# when not run as root.
set -euo pipefail
source "$(dirname "$0")/common.sh"
TOOLS_BUILD="$(cd "${1:-$BUILD_DIR}" && pwd)"

if [ "$(id -u)" != 0 ]; then
  echo "package test: skipped, it needs root (apt-get, useradd)"
  exit 77
fi
[ -x "$TOOLS_BUILD/bin/wav-compare" ] || { echo "no $TOOLS_BUILD/bin/wav-compare: build first" >&2; exit 2; }
if dpkg-query -W -f='${Status}' tessora 2>/dev/null | grep -q 'installed'; then
  echo "package test: tessora is installed already; remove it first (apt-get purge tessora)" >&2
  exit 1
fi

# shellcheck source=lib-e2e.sh
source "$ROOT/scripts/lib-e2e.sh"
E2E_TOOLS="$TOOLS_BUILD/bin"
E2E_DIR="$(mktemp -d /tmp/tessora-package-test.XXXXXX)"
scratch="$E2E_DIR"
# Loopback addresses of this run alone (as the end-to-end tests choose them).
n=$(($$ * 4))
net="127.$(((n >> 16) & 255)).$(((n >> 8) & 255))"
host_addr="$net.$(((n & 255) + 1))"
remote_addr="$net.$(((n & 255) + 2))"
user="tessora-pt$$"
installed=0
pids=()

step() { printf '[package-test %s] %s\n' "$(date +%T)" "$*"; }
fail() {
  printf '[package-test] FAIL: %s\n' "$*" >&2
  local f
  for f in "$scratch"/*.log "$scratch"/*.err; do
    [ -s "$f" ] && { echo "----- $(basename "$f")"; cat "$f"; }
  done
  exit 1
}

cleanup() {
  local pid
  for pid in ${pids[@]+"${pids[@]}"}; do e2e_stop "$pid" >/dev/null 2>&1 || true; done
  if [ "$installed" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tessora >/dev/null 2>&1 || true
  fi
  if id "$user" >/dev/null 2>&1; then
    pkill -KILL -u "$user" 2>/dev/null || true
    userdel -r "$user" >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# as_user COMMAND...: runs COMMAND as the test user in a clean session-like
# environment: the user's home, no display (Qt's offscreen platform), the
# machine's language setting, and the station settings in STATION_ENV.
as_user_command() {
  AS_USER=(setpriv --reuid="$user" --regid="$user" --init-groups
    env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8
    XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen
    TAVRINO_TIMING_LOG="$scratch/timing.log" ${STATION_ENV[@]+"${STATION_ENV[@]}"})
}
as_user() {
  as_user_command
  "${AS_USER[@]}" "$@"
}

# station NAME ADDR MIC OUT ARGS...: starts an installed station as the user
# in the background. Started straight from this shell, each command exec'ing
# the next, so that STATION_PID is the station itself and a SIGTERM reaches it.
station() {
  local name="$1" addr="$2" mic="$3" out="$4"
  shift 4
  STATION_ENV=(TAVRINO_BIND_ADDRESS="$addr" TAVRINO_CAPTURE="$mic" TAVRINO_PLAYBACK="$out")
  as_user_command
  "${AS_USER[@]}" stdbuf -oL "$@" >"$scratch/$name.log" 2>"$scratch/$name.err" &
  STATION_PID=$!
  pids+=("$STATION_PID")
  STATION_ENV=()
}

# expect_mode PATH MODE: PATH belongs to the user and has exactly MODE.
expect_mode() {
  local got
  got=$(stat -c '%U %a' "$1" 2>/dev/null) || fail "$1 is missing"
  [ "$got" = "$user $2" ] || fail "$1: owner and mode are '$got', expected '$user $2'"
}

step "building the package"
deb=$(bash "$ROOT/scripts/package.sh" | tail -n 1)
step "built $deb"

step "lintian"
lintian --fail-on error --display-info "$deb" | tee "$scratch/lintian.txt" || fail "lintian reports errors"
step "lintian: $(grep -c '^E:' "$scratch/lintian.txt" || true) errors, $(grep -c '^W:' "$scratch/lintian.txt" || true) warnings"

step "apt-get install $deb"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$scratch/apt.log" 2>&1 ||
  fail "apt-get install failed: $(tail -n 5 "$scratch/apt.log")"
dpkg -L tessora | sort >"$scratch/package-files.txt"
program_dir="$(dirname "$(readlink -f /usr/bin/tessorah)")"
for cmd in tessorah tessorar tavrino-console; do
  [ -x "/usr/bin/$cmd" ] || fail "/usr/bin/$cmd is missing"
done
ls -A "$program_dir" | sort >"$scratch/program-dir-before.txt"
appstreamcli validate --no-net /usr/share/metainfo/com.halvorn.tessora[hr].metainfo.xml ||
  fail "appstreamcli does not pass the installed metainfo"
desktop-file-validate /usr/share/applications/TESSORA[HR].desktop || fail "a desktop entry is not valid"

useradd --create-home --shell /bin/sh --user-group "$user"
home=$(getent passwd "$user" | cut -d: -f6)
chmod 755 "$scratch"
install -d -m 700 -o "$user" -g "$user" "$scratch/run" "$scratch/audio"
cp "$ROOT/data/speech-host-16k.wav" "$ROOT/data/speech-remote-16k.wav" "$scratch/audio/"
chown "$user:" "$scratch/audio/"*.wav
install -m 666 /dev/null "$scratch/timing.log"
host_dir="$home/.local/share/TESSORA/host"
remote_dir="$home/.local/share/TESSORA/remote"

step "first start of each station as $user"
STATION_ENV=()
as_user tessorah --help >"$scratch/help.out" 2>&1 || fail "tessorah --help failed"
grep -qF "$host_dir" "$scratch/help.out" || fail "tessorah --help does not name $host_dir"
grep -A1 'kept in' "$scratch/help.out"
# The host, with no user yet, cannot go online: it starts, creates its
# folder, and saves its (empty) files when closed.
station host0 "$host_addr" silence null tessorah
for ((i = 0; i < 200; i++)); do [ -d "$host_dir" ] && break; sleep 0.1; done
sleep 3   # the window loads and starts watching for SIGTERM
e2e_stop "$STATION_PID" && [ "$E2E_EXIT" = 0 ] ||
  fail "the host did not start, or did not close on SIGTERM (status ${E2E_EXIT:-none})"
as_user tessorar --connect Demo >/dev/null 2>&1 && fail "tessorar called a connection that does not exist"
expect_mode "$host_dir" 700
expect_mode "$remote_dir" 700
expect_mode "$host_dir/TESSORA-H.ini" 600

# The demo user on the host, the demo connection on the remote: as the user
# writes them, in the stations' own layouts.
as_user sh -c "umask 077
  printf 'ID=demo&PASSWORD=demo=pass&Enable=0&ConnectName=Demo user\r\n' >'$host_dir/TESSORAH.ini'
  printf 'ConnectName=Demo&Description=Demo host&IP Address=$host_addr&PortNo=33550&UserName=demo&Password=demo=pass\r\n' >'$remote_dir/Connect.dat'"

step "a call between the installed stations: host $host_addr, remote $remote_addr"
said_by_host="$scratch/audio/speech-host-16k.wav"
said_by_remote="$scratch/audio/speech-remote-16k.wav"
host_heard="$scratch/audio/host-heard.wav"
remote_heard="$scratch/audio/remote-heard.wav"
station host "$host_addr" "file:$said_by_host" "file:$host_heard" tessorah --online
host_pid=$STATION_PID
e2e_wait_for "$scratch/host.log" '^online on port 33550$' 20 || fail "the host does not go online"
station remote "$remote_addr" "file:$said_by_remote" "file:$remote_heard" tessorar --connect Demo
remote_pid=$STATION_PID
e2e_wait_for "$scratch/remote.log" '^status 53: ' 20 || fail "the remote does not get connected"
e2e_wait_for "$scratch/host.log" '^status 53: ' 5 || fail "the host does not get connected"
for side in remote host; do
  e2e_wait_for "$scratch/$side.log" '^security: encrypted$' 5 || fail "the $side's call is not encrypted"
  e2e_wait_for "$scratch/$side.log" '^voice: wideband opus 16 kHz$' 5 || fail "the $side's call is not wideband"
done
step "the call is encrypted and wideband on both sides"
sleep "${PACKAGE_TEST_CALL_SECONDS:-10}"
e2e_stop "$remote_pid" && [ "$E2E_EXIT" = 0 ] || fail "the remote did not close on SIGTERM"
e2e_wait_for "$scratch/host.log" '^status 54: ' 5 || fail "the remote's hang-up does not reach the host"
e2e_stop "$host_pid" && [ "$E2E_EXIT" = 0 ] || fail "the host did not close on SIGTERM"
pids=()
for side in host remote; do
  echo "----- $side station's standard output"
  cat "$scratch/$side.log"
done

step "the user's files"
for f in "$host_dir/TESSORAH.ini" "$host_dir/TESSORA-H.ini" "$remote_dir/Connect.dat" "$remote_dir/TESSORAR.ini"; do
  expect_mode "$f" 600
  ls -l "$f"
done
grep -q '^ID=demo&' "$host_dir/TESSORAH.ini" || fail "the host lost its user list"
grep -q '^SelectItem=Demo' "$remote_dir/TESSORAR.ini" || fail "the remote did not save its last connection"
ls -A "$program_dir" | sort | cmp -s - "$scratch/program-dir-before.txt" ||
  fail "a station wrote into $program_dir"

step "speech, both ways"
# Over loopback nothing is lost, so one alignment of the whole recording
# holds; the other side's own speech is the negative control.
# Wideband: the highs above 7 kHz came through.
check_heard() { # SAID HEARD OTHER WHAT
  local report right wrong bandwidth
  report=$(e2e_compare "$1" "$2")
  right=$(awk '$1 == "similarity:" { print $2 }' <<<"$report")
  bandwidth=$(awk '$1 == "bandwidth_hz:" { print $2 }' <<<"$report")
  wrong=$("$E2E_TOOLS/wav-compare" "$3" "$2" | awk '$1 == "similarity:" { print $2 }')
  step "$4: similarity $right (to the other side's own speech: $wrong), bandwidth $bandwidth Hz"
  awk -v r="$right" -v w="$wrong" 'BEGIN { exit !(r != "" && r >= 0.6 && w < r - 0.2) }' ||
    fail "$4: what was heard does not match what was said"
  awk -v b="$bandwidth" 'BEGIN { exit !(b != "" && b >= 7000) }' || fail "$4: bandwidth $bandwidth Hz"
}
check_heard "$said_by_remote" "$host_heard" "$said_by_host" "the host heard the remote"
check_heard "$said_by_host" "$remote_heard" "$said_by_remote" "the remote heard the host"

step "apt-get purge tessora"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tessora >>"$scratch/apt.log" 2>&1 || fail "apt-get purge failed"
installed=0
left=()
while read -r path; do
  # Folders such as /usr/share/icons/hicolor belong to other packages too.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == "$program_dir" || "$path" == */tessora ]]; }; then
    left+=("$path")
  fi
done <"$scratch/package-files.txt"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
[ ! -e "$program_dir" ] || fail "$program_dir is left after the purge"
[ -f "$host_dir/TESSORAH.ini" ] && [ -f "$remote_dir/Connect.dat" ] ||
  fail "the purge touched the user's files"
step "PASS"
