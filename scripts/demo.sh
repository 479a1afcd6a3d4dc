#!/usr/bin/env bash
# Renders the bundled demo scene in batch with the programs of the given build folder: one PIC
# file per frame in BUILD/demo/, each converted to a PNG beside it.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$build/demo"
mkdir -p "$out"
"$build/bin/vellimor-host" info -d "$root/examples/furball" -s furball
# Antialiasing level 3 (four jittered passes) over the scene's whole frame range at its own size.
"$build/bin/vellimor" -b -d "$root/examples/furball" -s furball -j 3 -o "$out/furball"
count=0
for pic in "$out"/furball.*.pic; do
    "$build/bin/vellimor-pic" to-png "$pic" "${pic%.pic}.png"
    count=$((count + 1))
done
echo "Rendered $count frames of the demo into $out (furball.<frame>.pic and .png)"
