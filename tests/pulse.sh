#!/bin/sh
# start DIR / stop DIR: a PulseAudio server with two null sinks, "Speakers" and "Headset",
# private to DIR, for Wine's audio driver to find through XDG_RUNTIME_DIR.
set -e
export XDG_RUNTIME_DIR=$2
case $1 in
start)
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio -k 2>/dev/null || true
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit \
    -L module-native-protocol-unix \
    -L "module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
    -L "module-null-sink sink_name=headset sink_properties=device.description=Headset" \
    --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" 2>/dev/null
  for i in 1 2 3 4 5 6 7 8 9 10; do
    pactl info >/dev/null 2>&1 && exit 0
    sleep 0.5
  done
  echo "PulseAudio did not start; see $XDG_RUNTIME_DIR/pulse.log" >&2
  exit 1
  ;;
stop)
  pulseaudio -k 2>/dev/null || true
  ;;
esac
