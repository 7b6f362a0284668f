#!/usr/bin/env bash
# Starts an installed zorvane-capture offscreen, with a fresh home folder, and takes one frame:
# the driver library presses Snapshot with autosave on. Passes when the program found the
# simulated camera in its own library folder, wrote a valid FITS frame and closed cleanly.
#   smoke.sh <installed program> <smoke driver library>
set -euo pipefail
exe=$1
driver=$(realpath "$2")
libdir=$(realpath "$(dirname "$exe")/../lib/zorvane-capture")

version=$("$exe" --version)
[[ $version =~ ^zorvane-capture\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "bad --version: $version"; exit 1; }
echo "$version"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/.config" "$work/frames"
cat > "$work/.config/ZorvaneCapture.ini" <<INI
[Filenames]
SaveFile=$work/frames/smoke.fit
[Camera]
Exposure=0.2
INI

status=0
env -u ZORVANE_SIM -u ZORVANE_INDI_CAMERA -u LD_LIBRARY_PATH HOME="$work" \
  XDG_CONFIG_HOME="$work/.config" QT_QPA_PLATFORM=offscreen ZORVANE_SMOKE_DIR="$work/frames" \
  LD_PRELOAD="$driver" timeout 120 "$exe" > "$work/out" 2>&1 || status=$?
cat "$work/out"
[ "$status" -eq 0 ] || { echo "the program ended with status $status"; exit 1; }

grep -qxF "smoke: camera library $libdir/libZorvaneCCDDummy.so" "$work/out" ||
  { echo "the simulated camera was not loaded from $libdir"; exit 1; }
frame=$(sed -n 's/^smoke: frame //p' "$work/out")
fitsverify -q -e "$frame"
echo "smoke test passed: $frame"
