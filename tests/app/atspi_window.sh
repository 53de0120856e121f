#!/usr/bin/env bash
# voxreel in a real X window (Xvfb) with the session's accessibility bus
# (at-spi2-core), read by atspi_reader.py as a screen reader reads it.
#   atspi_window.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
if [ -z "${VOXREEL_IN_XVFB:-}" ]; then
  exec "$1/scripts/in-xvfb" "$0" "$@"
fi
source_dir=$1 build_dir=$2
work=$(mktemp -d /tmp/voxreel-atspi.XXXXXX)
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The accessibility bus and its registry, on this session's private bus.
setpriv --pdeathsig TERM /usr/libexec/at-spi-bus-launcher --launch-immediately \
  >"$work/a11y.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.1
done

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export VOXREEL_CAPTURE_SOURCE="audiotestsrc is-live=true wave=silence" VOXREEL_VIRTUAL_MIC=0
# A one-second file: playing it to its end changes the status line.
gst-launch-1.0 -q audiotestsrc num-buffers=10 samplesperbuffer=800 \
  ! audio/x-raw,rate=8000,channels=1 ! wavenc ! filesink location="$work/tone.wav"
"$build_dir/bin/voxreel" "$work/tone.wav" >"$work/voxreel.log" 2>&1 &
pids+=($!)
# pyatspi is the system's (python3-pyatspi).
/usr/bin/python3 "$source_dir/tests/app/atspi_reader.py" || { cat "$work/voxreel.log"; exit 1; }
