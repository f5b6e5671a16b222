# Helpers for runs of the two real station programs side by side on this
# computer: the demo call and the end-to-end tests. Sourced, not run.
#
# Each station is installed into its own folder of a scratch directory (the
# stations keep their files next to their executable), listens on its own
# loopback address through TAVRINO_BIND_ADDRESS, hears and speaks through WAV
# files, and prints its status lines on standard output.

E2E_HOST_ADDR="${E2E_HOST_ADDR:-127.0.0.2}"
E2E_REMOTE_ADDR="${E2E_REMOTE_ADDR:-127.0.0.3}"
E2E_PORT="${E2E_PORT:-33550}"
E2E_PASSWORD='demo=pass'   # an "=" travels whole in the password (the host's list cannot hold "&")

# e2e_prepare SCRATCH BUILD_DIR: installs both stations and writes their files.
e2e_prepare() {
  local scratch="$1" build="$2"
  E2E_DIR="$scratch"
  mkdir -p "$scratch"
  local s
  for s in host remote; do
    cmake --install "$build" --prefix "$scratch/$s" >/dev/null
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
      "$E2E_HOST_ADDR" "$E2E_PORT" "$E2E_PASSWORD"
    printf 'ConnectName=Blocked&Description=Disabled user&IP Address=%s&PortNo=%s&UserName=blocked&Password=secret\r\n' \
      "$E2E_HOST_ADDR" "$E2E_PORT"
    printf 'ConnectName=Stranger&Description=Unknown user&IP Address=%s&PortNo=%s&UserName=nobody&Password=none\r\n' \
      "$E2E_HOST_ADDR" "$E2E_PORT"
  } >"$E2E_REMOTE_DIR/Connect.dat"
  printf '[INIT]\r\nSelectItem=Demo\r\n' >"$E2E_REMOTE_DIR/TESSORAR.ini"
  chmod 600 "$E2E_HOST_DIR"/*.ini "$E2E_REMOTE_DIR/Connect.dat" "$E2E_REMOTE_DIR/TESSORAR.ini"
  # The language comes from the machine-wide settings; keep ours private.
  mkdir -p "$scratch/xdg/HALVORN Corporation"
  printf '[General]\nLanguage=%s\n' "${TESSORA_LANGUAGE:-English}" >"$scratch/xdg/HALVORN Corporation/TESSORA.conf"
  : >"$scratch/timing.log"
  [ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
}

# e2e_station PROGRAM DIR BIND_ADDR MIC_WAV OUT_WAV LOG ARGS...: starts one station
# in the background; its pid is left in E2E_PID.
e2e_station() {
  local program="$1" dir="$2" addr="$3" mic="$4" out="$5" logfile="$6"
  shift 6
  XDG_CONFIG_DIRS="$E2E_DIR/xdg" TAVRINO_BIND_ADDRESS="$addr" \
    TAVRINO_CAPTURE="$mic" TAVRINO_PLAYBACK="$out" TAVRINO_TIMING_LOG="$E2E_DIR/timing.log" \
    stdbuf -oL "$dir/$program" "$@" >"$logfile" 2>"$logfile.err" &
  E2E_PID=$!
}

e2e_start_host() {   # MIC OUT [ARGS...]
  local mic="$1" out="$2"; shift 2
  e2e_station TESSORAH "$E2E_HOST_DIR" "$E2E_HOST_ADDR" "$mic" "$out" "$E2E_DIR/host.log" --online "$@"
  E2E_HOST_PID=$E2E_PID
}

e2e_start_remote() { # CONNECTION MIC OUT [ARGS...]
  local name="$1" mic="$2" out="$3"; shift 3
  e2e_station TESSORAR "$E2E_REMOTE_DIR" "$E2E_REMOTE_ADDR" "$mic" "$out" "$E2E_DIR/remote.log" \
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
e2e_stop() {
  local pid="$1" i
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 150; i++)); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 1
}

# e2e_start_time WAV: CLOCK_REALTIME ns of the WAV's first sample, from the timing log.
e2e_start_time() {
  awk -v f="$1" '$2 == f { t = $3 } END { print t }' "$E2E_DIR/timing.log"
}

# e2e_compare SAID HEARD: wav-compare's report with both start times.
e2e_compare() {
  local said="$1" heard="$2" ts th
  ts=$(e2e_start_time "$said"); th=$(e2e_start_time "$heard")
  "$E2E_TOOLS/wav-compare" "$said" "$heard" ${ts:+--said-start $ts} ${th:+--heard-start $th}
}
