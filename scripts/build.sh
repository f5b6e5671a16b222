#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds TESSORA into $BUILD_DIR (default build/).
# Extra arguments go to the CMake configure step.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
      -DTESSORA_WERROR=ON "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
