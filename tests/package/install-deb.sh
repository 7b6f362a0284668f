#!/usr/bin/env bash
# The package as a user installs it: apt-get installs the .deb, the installed menu entry and
# metadata go through their validators, the installed program takes a frame (smoke.sh), and
# the package is removed again, also when a step fails.
#   install-deb.sh <package.deb> <smoke driver library>
set -euo pipefail
here=$(dirname "$(realpath "$0")")
deb=$(realpath "$1")
driver=$(realpath "$2")
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "== files of $(basename "$deb")"
dpkg-deb --contents "$deb"
echo "== lintian"
lintian --fail-on error "$deb"

trap '$SUDO apt-get purge -y -qq zorvane-capture > /dev/null' EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$deb" > /dev/null
echo "== installed: $(dpkg-query -W zorvane-capture)"
desktop=$(dpkg -L zorvane-capture | grep '^/usr/share/applications/.*\.desktop$')
metainfo=$(dpkg -L zorvane-capture | grep '^/usr/share/metainfo/.*\.xml$')
echo "== desktop-file-validate $desktop"
desktop-file-validate "$desktop"
echo "== appstreamcli validate $metainfo"
appstreamcli validate --no-net --pedantic "$metainfo"
echo "== the installed program"
"$here/smoke.sh" /usr/bin/zorvane-capture "$driver"
