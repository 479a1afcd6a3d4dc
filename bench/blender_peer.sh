#!/usr/bin/env bash
# Vellimor against Blender's Workbench on the same strands: the demo sphere with about 10^4, 10^5
# and 10^6 hairs at 1280 x 720, without antialiasing and with 8 samples (our level 4). Both
# sides are timed as whole processes, as a user runs them; the ratios are printed at the end.
#
#   bench/blender_peer.sh [BUILD_DIR] [COUNTS...]      (BUILD_DIR: a `make bench` build folder)
#
# Needs `blender` (Debian's package); without it the script says so and does nothing. Never part
# of the build or the tests.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build-bench}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000 1000000)

if ! command -v blender >/dev/null; then
  echo "blender is not installed: no peer to compare with (apt-get install blender)"
  exit 0
fi
for program in vellimor vellimor-host peer_strands; do
  [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program: run make bench" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP=$work
host=$build/bin/vellimor-host
source "$source_dir/bench/demo_sphere.sh"

seconds() {  # COMMAND... -> wall-clock seconds of the whole process
  local start end
  start=$(date +%s.%N)
  "$@" >"$work/last.log" 2>&1 || { cat "$work/last.log" >&2; return 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

printf "%-9s %-4s %10s %10s %8s\n" hairs aa vellimor blender ratio
for count in "${counts[@]}"; do
  set_sphere_hairs "$count"
  strands=$work/strands.$count
  "$build/bin/peer_strands" "$database" furball "$strands" >"$work/strands.log" 2>&1 ||
    { cat "$work/strands.log" >&2; exit 1; }
  for level in 0 4; do
    ours=$(seconds "$build/bin/vellimor" -b -d "$database" -s furball -n 1 1 1 -S 1280 720 \
             -j "$level" -o "$work/ours")
    samples=$([ "$level" = 0 ] && echo OFF || echo 8)
    theirs=$(seconds "${blender_run[@]}" -b --factory-startup --python-exit-code 1 -P "$source_dir/bench/blender_peer.py" \
               -- "$strands" "$samples" "$work/blender.png")
    printf "%-9s %-4s %9.2fs %9.2fs %8.2f\n" "$count" "$level" "$ours" "$theirs" \
           "$(echo "$ours / $theirs" | bc -l)"
  done
done
echo "ratio = Vellimor / Blender: below 1, Vellimor is faster. Load: $(cut -d' ' -f1-3 /proc/loadavg)"
