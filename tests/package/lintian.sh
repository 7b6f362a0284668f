#!/usr/bin/env bash
# Builds the Debian package into ./deb, lists its files and runs lintian on it: errors fail,
# warnings and notes are shown. Known and harmless: maintscript-calls-ldconfig, because CPack
# adds an ldconfig call for any library under /usr/lib, here the private camera libraries that
# the program opens by path.
#   lintian.sh <CPackConfig.cmake>
set -euo pipefail
rm -rf deb
cpack -G DEB --config "$1" -B deb > deb.log || { cat deb.log; exit 1; }
package=$(ls deb/*.deb)
dpkg-deb --info "$package"
dpkg-deb --contents "$package"
lintian --fail-on error --display-info "$package"
