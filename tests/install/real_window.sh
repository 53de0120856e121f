#!/usr/bin/env bash
# voxreel in a real X window (Xvfb, the xcb platform): it shows its window,
# answers the media player interface, and ends cleanly on SIGTERM. With
# SHOT=FILE it also takes a picture of the screen.
#   real_window.sh BUILD_DIR
set -euo pipefail
if [ -z "${VOXREEL_IN_XVFB:-}" ]; then
  exec "$(dirname "$0")/../../scripts/in-xvfb" "$0" "$@"
fi
build_dir=$1
work=$(mktemp -d /tmp/voxreel-window.XXXXXX)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export VOXREEL_CAPTURE_SOURCE="audiotestsrc is-live=true wave=silence"
gst-launch-1.0 -q audiotestsrc num-buffers=200 ! audio/x-raw,rate=8000,channels=1 ! wavenc \
  ! filesink location="$work/tone.wav"
"$build_dir/bin/voxreel" "$work/tone.wav" &
pid=$!

for _ in $(seq 100); do
  xwininfo -root -tree | grep -q '"Voxreel"' && break
  sleep 0.1
done
xwininfo -root -tree | grep -q '"Voxreel"' || { echo "no Voxreel window"; exit 1; }
for _ in $(seq 50); do
  playerctl --player=voxreel status >/dev/null 2>&1 && break
  sleep 0.1
done
playerctl --player=voxreel play
for _ in $(seq 50); do
  [ "$(playerctl --player=voxreel status)" = Playing ] && break
  sleep 0.1
done
[ "$(playerctl --player=voxreel status)" = Playing ] || { echo "MPRIS did not play"; exit 1; }
if [ -n "${SHOT:-}" ]; then
  sleep 1
  import -window root -crop "$(xwininfo -name Voxreel | awk '/Width/{w=$2}/Height/{h=$2}/Absolute upper-left X/{x=$4}/Absolute upper-left Y/{y=$4}END{print w"x"h"+"x"+"y}')" "$SHOT"
fi
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "voxreel ended with $status on SIGTERM"; exit 1; }
grep -q "LocalVolume=176" "$work/config/Kelmora/Voxreel.conf" || { echo "settings not written"; exit 1; }
echo "real window: shown, played through MPRIS, closed cleanly on SIGTERM"
