#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh Debian 12 machine, builds TESSORA and runs its main job: a
# real call between the host station TESSORAH and the remote station TESSORAR.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"
bash scripts/install-deps.sh
BUILD_DIR="$ROOT/build" bash scripts/build.sh
if [ ! -x build/bin/TESSORAH ] || [ ! -x build/bin/TESSORAR ]; then
  echo "Built what exists. Not there yet: the station programs TESSORAH and TESSORAR," \
       "so no call can be shown."
  exit 0
fi
exec bash scripts/demo-call.sh
