#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Wideband calls through an impaired link, run by hand (not part of the test suite):
#
#   BUILD_DIR=build bash bench/e2e/impair-sweep.sh [SECONDS]
#
# One call-bench.sh call of SECONDS (default 60) on file devices for each link: 0, 5,
# 10 and 20 % random loss, then 30 and 60 ms of uniform jitter (on top of 10 ms of
# delay, so the datagrams overtake each other), and BENCH_VOICE=gsm runs the same for
# GSM. Prints one line a link and direction: delay, lost speech frames, bandwidth.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
SECONDS_EACH="${1:-60}"
printf '%-22s %-13s %10s %10s %14s\n' "link" "direction" "delay ms" "lost %" "bandwidth Hz"
run() { # NAME ENV...
  local name="$1"; shift
  env "$@" bash "$ROOT/bench/e2e/call-bench.sh" "$SECONDS_EACH" 2>&1 | awk -v n="$name" '
    /^mouth-to-ear delay/ { up_d = $(NF - 6); down_d = $(NF - 5) }
    /^speech frames lost/ { up_l = $(NF - 6); down_l = $(NF - 5) }
    /^bandwidth/ { up_b = $3; down_b = $4 }
    END { printf "%-22s %-13s %10s %10s %14s\n", n, "remote->host", up_d, up_l, up_b
          printf "%-22s %-13s %10s %10s %14s\n", n, "host->remote", down_d, down_l, down_b }'
}
for loss in 0 0.05 0.10 0.20; do
  run "loss $(awk -v l="$loss" 'BEGIN { print l * 100 }') %" BENCH_LOSS="$loss"
done
for jitter in 30 60; do
  run "jitter $jitter ms" BENCH_DELAY_MS=10 BENCH_JITTER_MS="$jitter"
done
