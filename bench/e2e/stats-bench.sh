#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How well a call's figures tell the link, run by hand (not part of the test suite):
#
#   BUILD_DIR=build bash bench/e2e/stats-bench.sh [SECONDS]
#
# Two controls in tavrino-console make an encrypted wideband call through udp-impair
# for SECONDS (default 40): 20 ms added delay each way (a 40 ms round trip on top of
# loopback) and STATS_LOSS (default 0.05) of the remote's datagrams lost on their way
# to the host, none the other way. Each side reads GetCallStatistics once a second;
# the script prints the remote's figures as they come (the remote is the sender on the
# lossy direction: its loss out and its encoder's expected loss follow the host's
# reports), then the truth from the relay and both summary lines. TAVRINO_CALL_REPORTS=off
# (set on both) makes the same call without reports: the encoder keeps its 10 %.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD_DIR="$(cd "${BUILD_DIR:-$ROOT/build}" && pwd)"
SECONDS_IN_CALL="${1:-40}"
LOSS="${STATS_LOSS:-0.05}"
HOST=127.0.61.2 REMOTE=127.0.61.3 FRONT=127.0.61.4 BACK=127.0.61.5 PORT=29570
scratch="$(mktemp -d /tmp/tessora-stats.XXXXXX)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$scratch"' EXIT

"$BUILD_DIR/bin/udp-impair" --front "$FRONT:$PORT" --back "$BACK:$PORT" --to "$HOST:$PORT" \
  --loss-out "$LOSS" --loss-back 0 --delay-ms 20 --seed 11 >"$scratch/relay.out" 2>&1 &
relay=$!
pids+=("$relay")

# poll N: N lines asking for the figures a second apart, then the hang-up's summary.
poll() {
  local i
  for ((i = 0; i < $1; i++)); do printf 'GetCallStatistics\nwait 1000\n'; done
  printf 'Disconnect\nwait 500\nGetCallSummary\nquit\n'
}
console() { # BIND_ADDRESS MIC OUT
  env TAVRINO_BIND_ADDRESS="$1" TAVRINO_CAPTURE="file:$2" TAVRINO_PLAYBACK=null \
    "$BUILD_DIR/bin/tavrino-console" --plugin "$BUILD_DIR/bin/TAVRINOSTANDARD.so"
}
{
  # The request may be lost on the way: accepted as soon as one is there, for up to 8 s
  # (the remote repeats it every 3 s); once the call stands the method fails harmlessly.
  printf 'Initialize %s "k"\nSetWidebandVoice TRUE\nwait 500\n' "$PORT"
  for ((i = 0; i < 16; i++)); do
    printf 'AcceptSecureCall "%s" %s "pw" 20\nwait 500\n' "$BACK" "$PORT"
  done
  poll "$SECONDS_IN_CALL"
} | console "$HOST" "$ROOT/data/speech-host-16k.wav" >"$scratch/host.out" 2>&1 &
pids+=("$!")
sleep 0.5
{
  printf 'Initialize %s "k"\nSetWidebandVoice TRUE\n' "$PORT"
  printf 'ConnectSecure "%s" %s "alice" "pw" 20 ""\nwait 2500\n' "$FRONT" "$PORT"
  poll $((SECONDS_IN_CALL - 1))
} | console "$REMOTE" "$ROOT/data/speech-remote-16k.wav" >"$scratch/remote.out" 2>&1
wait "${pids[1]}" || true
kill -TERM "$relay"; wait "$relay" || true

field() { sed 's/^= "//; s/"$//' | tr '&' '\n' | sed -n "s/^$1=//p"; }
printf '%4s %8s %12s %13s %12s %14s %16s\n' s rtt_ms loss_in_10s loss_out_10s encoder_loss \
  concealed_in% "host concealed%"
# The host's figures beside the remote's of the same second of the call.
declare -A host_at
while read -r line; do host_at[$(field duration_s <<<"$line")]="$line"; done \
  < <(grep '^= "duration' "$scratch/host.out")
while read -r line; do
  h="${host_at[$(field duration_s <<<"$line")]:-}"
  printf '%4s %8s %12s %13s %12s %14s %16s\n' "$(field duration_s <<<"$line")" "$(field rtt_ms <<<"$line")" \
    "$(field loss_in_10s_pct <<<"$line")" "$(field loss_out_10s_pct <<<"$line")" \
    "$(field encoder_loss_pct <<<"$line")" "$(field concealed_in_pct <<<"$line")" \
    "$(field concealed_in_pct <<<"$h")"
done < <(grep '^= "duration' "$scratch/remote.out")
echo
read -r _ out back < <(grep '^forwarded:' "$scratch/relay.out")
read -r _ lost_out lost_back < <(grep '^dropped:' "$scratch/relay.out")
awk -v f="$out" -v d="$lost_out" -v g="$back" -v e="$lost_back" 'BEGIN {
  printf "relay: remote->host %d passed, %d lost (%.2f %%); host->remote %d passed, %d lost (%.2f %%)\n",
         f, d, 100 * d / (f + d), g, e, 100 * e / (g + e) }'
for side in remote host; do
  printf '%-7s %s\n' "$side" "$(grep '^= "call: ' "$scratch/$side.out" | tr -d '="')"
done
# A report every 2 s: type 24, counter 8, inner type 1, 34 bytes, tag 16; then IPv4 and UDP.
awk 'BEGIN { b = 1 + 8 + 1 + 34 + 16
  printf "reports: %.2f kbit/s a direction in UDP payload, %.2f with IPv4 and UDP headers\n",
         b * 8 / 2 / 1000, (b + 28) * 8 / 2 / 1000 }'
