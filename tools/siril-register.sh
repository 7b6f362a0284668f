#!/bin/sh
# Loads the FITS frames of a folder (a sequence's files) into Siril's command-line program
# (Debian package "siril"), converts them into a Siril sequence and registers them by their
# stars. The folder is left as it is: the work is done in a copy. The last line says how many
# frames were registered: "registered N of M".
#
#   tools/siril-register.sh FOLDER
set -eu

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 FOLDER-WITH-FIT-FILES" >&2
    exit 2
fi
if ! command -v siril-cli > /dev/null 2>&1; then
    echo "siril-cli is not installed (apt-get install --no-install-recommends siril)" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
total=0
for f in "$1"/*.fit "$1"/*.fits; do
    [ -e "$f" ] || continue
    cp "$f" "$work/"
    total=$((total + 1))
done
cat > "$work/register.ssf" << 'SCRIPT'
requires 1.0.0
convert light -out=./seq
cd seq
register light
SCRIPT

# Siril keeps its settings under HOME: a run from here leaves the user's alone.
HOME="$work" siril-cli -d "$work" -s "$work/register.ssf" > "$work/siril.log" 2>&1 || true
grep -E "^log: (Conversion|Registration|Total|Found [0-9]+ stars in reference|dx:|dy:)" \
    "$work/siril.log" || true
registered=$(sed -n 's/^log: Total: [0-9]* failed, \([0-9]*\) registered.*/\1/p' \
    "$work/siril.log" | tail -n 1)
echo "registered ${registered:-0} of $total"
[ "${registered:-0}" -eq "$total" ] && [ "$total" -gt 0 ]
