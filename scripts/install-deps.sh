#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what TESSORA needs to build, test and run on Debian 12.
# Idempotent: when every package is already there it prints nothing and
# touches nothing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  # libraries of the programs
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgsm1-dev libasound2-dev libsndfile1-dev
  # echo cancellation and noise suppression in the capture path
  libspeexdsp-dev
  # PulseAudio client: devices of a PulseAudio or PipeWire desktop, chosen by name
  libpulse-dev
  # encrypted calls: the CPace key exchange and ChaCha20-Poly1305 sealing
  libsodium-dev
  # wideband voice between two TESSORA stations (Opus at 16 kHz)
  libopus-dev
  # the help: compiled with qhelpgenerator, read through Qt's help engine
  qt6-tools-dev qt6-tools-dev-tools libqt6help6 qt6-documentation-tools
  # the Debian package: built with debhelper, checked with lintian and appstreamcli
  debhelper dpkg-dev fakeroot lintian appstream desktop-file-utils
  # test and benchmark frameworks; line and branch coverage of the suite (scripts/coverage.sh)
  googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev gcovr
  # headless audio through ALSA's pulse plugin
  pulseaudio pulseaudio-utils alsa-utils libasound2-plugins
  # independent decoders and speech for the audio tests, the demo sample
  ffmpeg espeak-ng sox
  # windows without a display, Japanese glyphs, screenshots
  xvfb xauth fonts-noto-cjk x11-apps imagemagick
  # keys pressed in a station's window by the end-to-end tests
  xdotool
  # the desktop test: a private session bus, a real X11 tray (trayer) and a real
  # notification server (dunst, read back with dunstctl)
  dbus-daemon trayer dunst
  # network namespaces and impairment for the end-to-end tests
  iproute2 iputils-ping procps psmisc
  # the host opens its port on the home router by UPnP IGD, or NAT-PMP
  libminiupnpc-dev libnatpmp-dev
  # a real UPnP router in network namespaces for the port-mapping test
  miniupnpd-nftables nftables miniupnpc
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
