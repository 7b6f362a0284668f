#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need, skipping what is
# already there. Safe to run again.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fitsverify libcfitsio-dev libtiff-dev libtiff-tools
  siril
  libopencv-core-dev libopencv-imgproc-dev
  xvfb xauth
  indi-bin libexpat1-dev
  dbus-daemon
  nlohmann-json3-dev
  desktop-file-utils appstream lintian dpkg-dev file
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
