#!/usr/bin/env bash
# Renders the bundled demo scenes in batch with the programs of the given build folder: one PIC
# file per frame of the furball in BUILD/demo/, each converted to a PNG beside it, and one frame
# of the imported creature.
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
# The second example: a creature brought in from a modeller's OBJ file, in a soft coat; one frame.
"$build/bin/vellimor-host" info -d "$root/examples/creature" -s creature
"$build/bin/vellimor-host" render -d "$root/examples/creature" -s creature --frames 1 1 --aa 3 --format both \
    --output "$out/creature"
echo "Rendered $count frames of the demo into $out (furball.<frame>.pic and .png) and the creature" \
     "(creature.0001.pic and .png)"
