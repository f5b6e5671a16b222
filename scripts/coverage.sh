#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Line and branch coverage of control/, common/, host/ and remote/ by the whole CTest
# suite (gcovr): builds into build-cov/ with gcov counters, runs every test there and
# prints one table per folder. Run by hand; the suite's own command is scripts/test.sh.
#   bash scripts/coverage.sh [REPORT_FILE]
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"
bash scripts/install-deps.sh
source scripts/start-audio.sh
trap stop_audio EXIT
export QT_QPA_PLATFORM=offscreen
XDG_CONFIG_HOME="$(mktemp -d /tmp/tessora-cov-config.XXXXXX)"
export XDG_CONFIG_HOME
BUILD_DIR="$ROOT/build-cov" BUILD_TYPE=Debug bash scripts/build.sh -DTESSORA_COVERAGE=ON -DTESSORA_BENCH=OFF
find build-cov -name '*.gcda' -delete
(cd build-cov && ctest --timeout 900 -j 2) || echo "some tests failed; coverage still reported"
report="${1:-$ROOT/build-cov/coverage.txt}"
: >"$report"
# The per-file table goes to a file of its own: gcovr replaces its output file, and given
# /dev/null it would delete the device.
files="$ROOT/build-cov/coverage-files.txt"
for folder in control common host remote; do
  gcovr -r "$ROOT" --object-directory build-cov --filter "$folder/" --exclude-throw-branches \
    --exclude-unreachable-branches --print-summary --txt "$files.$folder" 2>/dev/null |
    sed "s|^|$folder: |" | tee -a "$report"
done
