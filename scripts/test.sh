#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh Debian 12 machine and runs every test of TESSORA:
#   1. installs what is missing (apt-get),
#   2. starts a PulseAudio daemon with null devices for the ALSA paths,
#   3. builds with g++ and runs the whole CTest suite,
#   3b. builds the Debian package and tests it installed (scripts/package-test.sh,
#      as root: apt-get, a user of its own),
#   4. builds again with AddressSanitizer + UndefinedBehaviorSanitizer and
#      runs the suite there,
#   5. builds the libFuzzer targets with clang and runs each for a bounded time.
# Exits non-zero when any step fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"

log "dependencies"
bash scripts/install-deps.sh

log "audio server"
source scripts/start-audio.sh
trap stop_audio EXIT

export QT_QPA_PLATFORM=offscreen
# The user's own configuration (options, pins) of this run: a test never reads or
# writes the real user's.
XDG_CONFIG_HOME="$(mktemp -d /tmp/tessora-test-config.XXXXXX)"
export XDG_CONFIG_HOME
status=0

log "build (g++)"
BUILD_DIR="$ROOT/build" bash scripts/build.sh
log "tests"
(cd build && ctest --output-on-failure --timeout 600 -j 2) || status=1

if [ "${TESSORA_SKIP_PACKAGE:-0}" != 1 ]; then
  log "Debian package"
  rc=0
  bash scripts/package-test.sh "$ROOT/build" || rc=$?
  [ "$rc" = 0 ] || [ "$rc" = 77 ] || status=1
fi

if [ "${TESSORA_SKIP_SANITIZERS:-0}" != 1 ]; then
  log "build (ASan + UBSan)"
  BUILD_DIR="$ROOT/build-asan" BUILD_TYPE=Debug bash scripts/build.sh -DTESSORA_SANITIZE=ON -DTESSORA_BENCH=OFF
  log "tests under sanitizers"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
     LSAN_OPTIONS=suppressions="$ROOT/tests/lsan.supp" \
     ctest --output-on-failure --timeout 900 -j 2 -LE no_sanitizer) || status=1
fi

if [ "${TESSORA_SKIP_FUZZ:-0}" != 1 ] && [ -f tests/fuzz/CMakeLists.txt ]; then
  log "fuzzing (clang libFuzzer)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
     -DTESSORA_FUZZ=ON -DTESSORA_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j "$JOBS" --target fuzzers
  for f in build-fuzz/bin/fuzz_*; do
    [ -x "$f" ] || continue
    log "$(basename "$f") for ${FUZZ_SECONDS:-60} s"
    mkdir -p "build-fuzz/corpus/$(basename "$f")"
    "$f" -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 \
         "build-fuzz/corpus/$(basename "$f")" 2>&1 | tail -n 12 || status=1
  done
fi

exit $status
