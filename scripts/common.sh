# SPDX-License-Identifier: GPL-3.0-or-later
# Shared settings of the scripts; sourced, not run.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
JOBS="${JOBS:-$(nproc)}"
log() { printf '== %s\n' "$*"; }
