#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package with dpkg-buildpackage -b -us -uc and leaves
# tessora_<version>_<arch>.deb in $PACKAGE_DIR (default build-deb/); prints
# its path as the last line.
#
# The package is built in a copy of the source tree, so that debhelper's
# working files never land in the project folder, and without the test suite
# and the benchmarks (DEB_BUILD_OPTIONS=nocheck), on every core.
set -euo pipefail
source "$(dirname "$0")/common.sh"

PACKAGE_DIR="${PACKAGE_DIR:-$ROOT/build-deb}"
case "$PACKAGE_DIR" in /*) ;; *) PACKAGE_DIR="$PWD/$PACKAGE_DIR" ;; esac
source_copy="$PACKAGE_DIR/tessora"

rm -rf "$PACKAGE_DIR"
mkdir -p "$source_copy"
tar -C "$ROOT" --exclude='./build*' --exclude='./out' --exclude='./.git' \
    --exclude='./obj-*' --exclude='./debian/tessora' --exclude='./debian/.debhelper' \
    -cf - . | tar -C "$source_copy" -xf -

log "package build ($JOBS jobs)"
(cd "$source_copy" &&
  DEB_BUILD_OPTIONS="nocheck parallel=$JOBS ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage -b -us -uc >"$PACKAGE_DIR/build.log" 2>&1) || {
  tail -n 60 "$PACKAGE_DIR/build.log" >&2
  echo "package build failed; whole log: $PACKAGE_DIR/build.log" >&2
  exit 1
}
rm -rf "$source_copy"

version=$(dpkg-parsechangelog -l "$ROOT/debian/changelog" -S Version)
deb="$PACKAGE_DIR/tessora_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
[ -f "$deb" ] || { echo "no $deb after the build" >&2; exit 1; }
echo "$deb"
