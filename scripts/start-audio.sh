#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a PulseAudio daemon with two null sinks and two null sources, reached by
# ALSA's "default" device through the pulse plugin, for machines without a
# sound card. Source it, so that XDG_RUNTIME_DIR reaches the caller:
#   source scripts/start-audio.sh && ... ; stop_audio
# Each run gets a daemon of its own, in a runtime folder of its own: two test runs on
# one computer neither share nor stop each other's devices.
export XDG_RUNTIME_DIR="$(mktemp -d /tmp/tessora-xdg.XXXXXX)"
chmod 700 "$XDG_RUNTIME_DIR"
TESSORA_STARTED_PULSE=0
if ! pactl info >/dev/null 2>&1; then
  pulseaudio -D -n --exit-idle-time=-1 --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=vsink" --load="module-null-source source_name=vsrc" \
    --load="module-null-sink sink_name=vsink2 sink_properties=\"device.description='Second Speaker'\"" \
    --load="module-null-source source_name=vsrc2 description=\"Second Microphone\"" \
    --load=module-always-sink >/dev/null 2>&1 || true
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  TESSORA_STARTED_PULSE=1
fi
if pactl info >/dev/null 2>&1; then
  pactl set-default-sink vsink >/dev/null 2>&1 || true
  pactl set-default-source vsrc >/dev/null 2>&1 || true
  export TESSORA_HAVE_PULSE=1
else
  echo "warning: no PulseAudio server; tests that need ALSA devices will be skipped" >&2
  export TESSORA_HAVE_PULSE=0
fi
stop_audio() {
  [ "$TESSORA_STARTED_PULSE" = 1 ] && pulseaudio -k >/dev/null 2>&1
  rm -rf "$XDG_RUNTIME_DIR"
  return 0
}
