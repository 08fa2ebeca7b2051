#!/bin/sh
# start RUN / stop RUN: a PulseAudio server with two null sinks, "Speakers" and "Headset", in
# the runtime folder that runner RUN gives Wine's audio driver (XDG_RUNTIME_DIR). Stopping it
# removes the folder.
set -e
unset XDG_RUNTIME_DIR
eval "$(sed -n 's/^export \(XDG_RUNTIME_DIR=.*\)$/\1/p' "$2")"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:?"$2 gives Wine no PulseAudio runtime folder"}"
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
  rm -rf "$XDG_RUNTIME_DIR"
  ;;
esac
