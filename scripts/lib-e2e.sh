# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Helpers for runs of the two real station programs side by side on this
# computer: the demo call, the end-to-end tests and the call benchmark.
# Sourced, not run.
#
# Each station is installed into its own folder of a scratch directory (the
# stations keep their files next to their executable), listens on its own
# address through TAVRINO_BIND_ADDRESS, hears and speaks through WAV files,
# and prints its status lines on standard output.
#
# Settings, each with a default, read when a function runs:
#   E2E_HOST_ADDR, E2E_REMOTE_ADDR  where each station listens
#   E2E_PORT                        the host's listen port (the remote listens
#                                   on the same number, as it always does)
#   E2E_CALL_ADDR, E2E_CALL_PORT    where the remote's connections point: the
#                                   host itself, or a relay in front of it
#   E2E_HOST_LOG, E2E_REMOTE_LOG    each station's standard output
#   E2E_HOST_ENV, E2E_REMOTE_ENV    arrays of extra NAME=VALUE settings
#   TESSORA_UPNP                    "off" unless set: the host searches no
#                                   router (only a test's own router may be asked)
#   E2E_HOST_WRAP, E2E_REMOTE_WRAP  arrays: a command that runs the station,
#                                   such as (ip netns exec NS); it must exec
#                                   the station, so that E2E_PID is its pid

E2E_HOST_ADDR="${E2E_HOST_ADDR:-127.0.0.2}"
E2E_REMOTE_ADDR="${E2E_REMOTE_ADDR:-127.0.0.3}"
E2E_PORT="${E2E_PORT:-33550}"
E2E_PASSWORD='demo=pass'   # an "=" travels whole in the password (the host's list cannot hold "&")

# e2e_prepare SCRATCH BUILD_DIR: installs both stations and writes their files.
e2e_prepare() {
  local scratch="$1" build="$2"
  local call_addr="${E2E_CALL_ADDR:-$E2E_HOST_ADDR}" call_port="${E2E_CALL_PORT:-$E2E_PORT}"
  E2E_DIR="$scratch"
  mkdir -p "$scratch"
  local s
  for s in host remote; do
    # One install at a time from a build folder: installing writes files
    # there too (the desktop entries), and two at once trip over each other.
    flock "$build/.e2e-install.lock" cmake --install "$build" --prefix "$scratch/$s" >/dev/null || return 1
  done
  E2E_HOST_DIR="$scratch/host/lib/tessora"
  E2E_REMOTE_DIR="$scratch/remote/lib/tessora"
  # User list: an enabled and a disabled user; CR LF line ends.
  printf 'ID=demo&PASSWORD=%s&Enable=0&ConnectName=Demo user\r\n' "$E2E_PASSWORD" >"$E2E_HOST_DIR/TESSORAH.ini"
  printf 'ID=blocked&PASSWORD=secret&Enable=1&ConnectName=Disabled user\r\n' >>"$E2E_HOST_DIR/TESSORAH.ini"
  printf '[Main]\r\nListenPortNo=%s\r\n' "$E2E_PORT" >"$E2E_HOST_DIR/TESSORA-H.ini"
  # Connections: the demo user, the disabled one and one the host does not know.
  {
    printf 'ConnectName=Demo&Description=Demo host&IP Address=%s&PortNo=%s&UserName=demo&Password=%s\r\n' \
      "$call_addr" "$call_port" "$E2E_PASSWORD"
    printf 'ConnectName=Blocked&Description=Disabled user&IP Address=%s&PortNo=%s&UserName=blocked&Password=secret\r\n' \
      "$call_addr" "$call_port"
    printf 'ConnectName=Stranger&Description=Unknown user&IP Address=%s&PortNo=%s&UserName=nobody&Password=none\r\n' \
      "$call_addr" "$call_port"
  } >"$E2E_REMOTE_DIR/Connect.dat"
  printf '[INIT]\r\nSelectItem=Demo\r\n' >"$E2E_REMOTE_DIR/TESSORAR.ini"
  chmod 600 "$E2E_HOST_DIR"/*.ini "$E2E_REMOTE_DIR/Connect.dat" "$E2E_REMOTE_DIR/TESSORAR.ini"
  # The language comes from the machine-wide settings; keep ours private.
  mkdir -p "$scratch/xdg/HALVORN Corporation"
  printf '[General]\nLanguage=%s\n' "${TESSORA_LANGUAGE:-English}" >"$scratch/xdg/HALVORN Corporation/TESSORA.conf"
  : >"$scratch/timing.log"
  [ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
}

# e2e_station PROGRAM DIR BIND_ADDR MIC_WAV OUT_WAV LOG ARGS...: starts one
# station in the background, with the caller's arrays E2E_ENV (extra settings)
# and E2E_WRAP (the command that runs it); its pid is left in E2E_PID.
e2e_station() {
  local program="$1" dir="$2" addr="$3" mic="$4" out="$5" logfile="$6"
  shift 6
  # The user's own configuration (options, pins) of this run alone; a test may set its own.
  ${E2E_WRAP[@]+"${E2E_WRAP[@]}"} env XDG_CONFIG_DIRS="$E2E_DIR/xdg" XDG_CONFIG_HOME="$E2E_DIR/config" \
    TAVRINO_BIND_ADDRESS="$addr" \
    TAVRINO_CAPTURE="$mic" TAVRINO_PLAYBACK="$out" TAVRINO_TIMING_LOG="$E2E_DIR/timing.log" \
    TESSORA_UPNP="${TESSORA_UPNP:-off}" \
    ${E2E_ENV[@]+"${E2E_ENV[@]}"} stdbuf -oL "$dir/$program" "$@" >"$logfile" 2>"$logfile.err" &
  E2E_PID=$!
}

e2e_start_host() {   # MIC OUT [ARGS...]
  local mic="$1" out="$2"; shift 2
  local -a E2E_ENV=(${E2E_HOST_ENV[@]+"${E2E_HOST_ENV[@]}"}) E2E_WRAP=(${E2E_HOST_WRAP[@]+"${E2E_HOST_WRAP[@]}"})
  E2E_HOST_LOG="${E2E_HOST_LOG:-$E2E_DIR/host.log}"
  e2e_station TESSORAH "$E2E_HOST_DIR" "$E2E_HOST_ADDR" "$mic" "$out" "$E2E_HOST_LOG" --online "$@"
  E2E_HOST_PID=$E2E_PID
}

e2e_start_remote() { # CONNECTION MIC OUT [ARGS...]
  local name="$1" mic="$2" out="$3"; shift 3
  local -a E2E_ENV=(${E2E_REMOTE_ENV[@]+"${E2E_REMOTE_ENV[@]}"}) E2E_WRAP=(${E2E_REMOTE_WRAP[@]+"${E2E_REMOTE_WRAP[@]}"})
  E2E_REMOTE_LOG="${E2E_REMOTE_LOG:-$E2E_DIR/remote.log}"
  e2e_station TESSORAR "$E2E_REMOTE_DIR" "$E2E_REMOTE_ADDR" "$mic" "$out" "$E2E_REMOTE_LOG" \
    --connect "$name" "$@"
  E2E_REMOTE_PID=$E2E_PID
}

# e2e_wait_for FILE PATTERN SECONDS: true once FILE has a line matching PATTERN.
e2e_wait_for() {
  local file="$1" pattern="$2" seconds="$3" i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -qE -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "timed out after ${seconds}s waiting for '$pattern' in $file" >&2
  return 1
}

# e2e_stop PID: SIGTERM (the window closes as Exit does), SIGKILL after 15 s.
# Returns 1 when it took SIGKILL; the process's exit status is left in E2E_EXIT.
e2e_stop() {
  local pid="$1" i
  E2E_EXIT=""
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 150; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" 2>/dev/null && E2E_EXIT=0 || E2E_EXIT=$?
      return 0
    fi
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null && E2E_EXIT=0 || E2E_EXIT=$?
  return 1
}

# e2e_start_time WAV: CLOCK_REALTIME ns of the WAV's first sample, from the
# timing log (the latest start when the file was opened more than once).
e2e_start_time() {
  awk -v f="$1" '$2 == f { t = $3 } END { print t }' "$E2E_DIR/timing.log"
}

# e2e_compare SAID HEARD: wav-compare's report with both start times.
e2e_compare() {
  local said="$1" heard="$2" ts th
  ts=$(e2e_start_time "$said"); th=$(e2e_start_time "$heard")
  "$E2E_TOOLS/wav-compare" "$said" "$heard" ${ts:+--said-start $ts} ${th:+--heard-start $th}
}
