#!/usr/bin/env bash
# The whole table of frame times of the demo sphere at 1280 x 720 (about 10^4, 10^5 and 10^6
# hairs, antialiasing level 0 and 4): a build of an earlier commit ("before") against this one
# ("after"), on 1 and 2 cores, beside Blender's Workbench drawing the same strands; whole
# processes as a user runs them, medians of interleaved runs, and the peak memory of each. Then
# the pictures: the ribbons against the exact tubes (demo 640 x 480 at level 3, all frames; the
# sphere of 10^6 hairs at level 0 and 4), with a side-by-side picture.
#
#   bench/frame_table.sh [options]
#     --before-commit C   the earlier commit (default 45e0cce); built from `git archive` once
#                         (give it with --before-build too, to name it in the last line)
#     --before-build DIR  use this build folder instead (bin/vellimor, bin/vellimor-host)
#     --after-build DIR   this checkout's Release build (default build-bench; built when missing)
#     --runs N            runs of each frame (default 3; the median counts)
#     --counts "N ..."    hair counts (default "10000 100000 1000000")
#     --cores "N ..."     cores to run on, by CPU affinity (default "1 2")
#     --no-blender        leave Blender out    --no-pictures   leave the picture comparison out
#     --pictures DIR      where the pictures go (default: a temporary folder, removed)
#
# Never part of the build or the tests. Needs `blender` for the peer column (Debian's package).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
before_commit=45e0cce
before_build=
after_build=$source_dir/build-bench
runs=3
counts=(10000 100000 1000000)
cores_list=(1 2)
with_blender=1
with_pictures=1
pictures=
while [ $# -gt 0 ]; do
  case $1 in
    --before-commit) before_commit=$2; shift 2 ;;
    --before-build) before_build=$2; shift 2 ;;
    --after-build) after_build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --counts) read -ra counts <<<"$2"; shift 2 ;;
    --cores) read -ra cores_list <<<"$2"; shift 2 ;;
    --no-blender) with_blender=0; shift ;;
    --no-pictures) with_pictures=0; shift ;;
    --pictures) pictures=$2; shift 2 ;;
    *) awk 'NR > 1 && /^#/ {print; next} NR > 1 {exit}' "$0" >&2; exit 2 ;;
  esac
done

programs=(vellimor_program vellimor-host vellimor-pic peer_strands)
build() {  # SOURCE BUILD: a Release build of the programs the table runs
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLIMOR_TESTS=OFF -DVELLIMOR_BENCH=ON >/dev/null
  cmake --build "$2" -j "$(nproc)" --target "${programs[@]}" >/dev/null
}
if [ -z "$before_build" ]; then
  before_build=$source_dir/build-before-$before_commit
  if [ ! -x "$before_build/bin/vellimor" ]; then
    echo "building $before_commit into $before_build ..." >&2
    mkdir -p "$before_build/src"
    git -C "$source_dir" archive "$before_commit" | tar -x -C "$before_build/src"
    build "$before_build/src" "$before_build"
  fi
fi
if [ ! -x "$after_build/bin/vellimor" ] || [ ! -x "$after_build/bin/peer_strands" ]; then
  echo "building this checkout into $after_build ..." >&2
  build "$source_dir" "$after_build"
fi
if [ "$with_blender" = 1 ] && ! command -v blender >/dev/null; then
  echo "blender is not installed: the peer column stays empty" >&2
  with_blender=0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TEMP=$work
[ -n "$pictures" ] || pictures=$work/pictures
mkdir -p "$pictures"
host=$after_build/bin/vellimor-host
source "$source_dir/bench/demo_sphere.sh"

# CORES COMMAND... -> "SECONDS PEAK_MB" of the whole process, run on the first CORES cores only
# (llvmpipe with as many threads)
measure() {
  local start end n=$1
  shift
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/rss" env LP_NUM_THREADS="$n" taskset -c "0-$((n - 1))" "$@" \
    >"$work/last.log" 2>&1 || { cat "$work/last.log" >&2; return 1; }
  end=$(date +%s.%N)
  echo "$(echo "$end - $start" | bc) $(($(tail -1 "$work/rss") / 1024))"
}

median() { printf "%s\n" "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

ours() {  # BUILD LEVEL OUTPUT
  echo "$1/bin/vellimor" -b -d "$database" -s furball -n 1 1 1 -S 1280 720 -j "$2" -o "$3"
}

echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "| hairs | AA | cores | before | after | Blender | after / before | after / Blender | peak MB before | peak MB after |\n"
printf "|---|---|---|---|---|---|---|---|---|---|\n"
for count in "${counts[@]}"; do
  set_sphere_hairs "$count"
  strands=$work/strands
  [ "$with_blender" = 0 ] || "$after_build/bin/peer_strands" "$database" furball "$strands" >"$work/strands.log" 2>&1 ||
    { cat "$work/strands.log" >&2; exit 1; }
  for level in 0 4; do
    samples=$([ "$level" = 0 ] && echo OFF || echo 8)
    for cores in "${cores_list[@]}"; do
      t_before=() t_after=() t_blender=() m_before=0 m_after=0
      for ((r = 0; r < runs; r++)); do  # interleaved: the three sides meet the same load
        read -r t m < <(measure "$cores" $(ours "$before_build" "$level" "$work/before"))
        t_before+=("$t"); m_before=$((m > m_before ? m : m_before))
        read -r t m < <(measure "$cores" $(ours "$after_build" "$level" "$work/after"))
        t_after+=("$t"); m_after=$((m > m_after ? m : m_after))
        if [ "$with_blender" = 1 ]; then
          read -r t m < <(measure "$cores" "${blender_run[@]}" -b --factory-startup -t "$cores" \
                            --python-exit-code 1 -P "$source_dir/bench/blender_peer.py" -- "$strands" "$samples" \
                            "$work/blender.png")
          t_blender+=("$t")
        fi
      done
      b=$(median "${t_before[@]}") a=$(median "${t_after[@]}")
      if [ "$with_blender" = 1 ]; then
        p=$(median "${t_blender[@]}")
        printf "| %s | %s | %s | %.2f s | %.2f s | %.2f s | %.2f | %.2f | %s | %s |\n" "$count" "$level" "$cores" \
          "$b" "$a" "$p" "$(echo "$a / $b" | bc -l)" "$(echo "$a / $p" | bc -l)" "$m_before" "$m_after"
      else
        printf "| %s | %s | %s | %.2f s | %.2f s | - | %.2f | - | %s | %s |\n" "$count" "$level" "$cores" \
          "$b" "$a" "$(echo "$a / $b" | bc -l)" "$m_before" "$m_after"
      fi
    done
  done
done
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg). Times are medians of $runs whole processes."
[ "$with_pictures" = 1 ] || exit 0

# ---- The pictures: ribbons against exact tubes ----
pic=$after_build/bin/vellimor-pic
render_pair() {  # NAME ARGS...: NAME.ribbons.* and NAME.tubes.* in the pictures folder
  local name=$1
  shift
  "$host" render -d "$database" -s furball "$@" --output "$pictures/$name.ribbons" >/dev/null 2>"$work/render.log" ||
    { cat "$work/render.log" >&2; exit 1; }
  "$host" render -d "$database" -s furball "$@" --exact-tubes --output "$pictures/$name.tubes" >/dev/null \
    2>"$work/render.log" || { cat "$work/render.log" >&2; exit 1; }
}
compare_pair() {  # NAME FRAME [SIDE_BY_SIDE.png]: one line of figures
  local out
  out=$("$pic" compare "$pictures/$1.tubes.$(printf %04d "$2").png" "$pictures/$1.ribbons.$(printf %04d "$2").png" \
        ${3:+"$3"} || true)
  echo "$out" | awk -v name="$1" -v frame="$2" '
    /^mean/ {m = sprintf("%s %s %s", $5, $7, $9)}
    /^largest/ {b = sprintf("%s %s %s", $6, $8, $10)}
    /^(equivalent|different)/ {v = $1}
    END {printf "| %s | %s | %s | %s | %s |\n", name, frame, m, b, v}'
}
echo
echo "| picture | frame | mean abs. difference R G B | largest 16x16 block difference R G B | verdict |"
echo "|---|---|---|---|---|"
cp -r "$source_dir/examples/furball" "$work/demo"
database=$work/demo
render_pair demo --size 640 480 --aa 3
for frame in $(seq 1 30); do compare_pair demo "$frame" "$([ "$frame" = 1 ] && echo "$pictures/demo-side-by-side.png")"; done
database=$work/furball
set_sphere_hairs 1000000
for level in 0 4; do
  render_pair "sphere-aa$level" --frames 1 1 --size 1280 720 --aa "$level"
  compare_pair "sphere-aa$level" 1 "$pictures/sphere-aa$level-side-by-side.png"
done
echo "Pictures in $pictures (tubes | ribbons | difference x 8)."

# The exact tubes keep the earlier commit's bytes (the hair shapes and shading are unchanged).
# Compared as PIC files: later PNGs carry a colour-space chunk the earlier ones lack.
"$before_build/bin/vellimor-host" render -d "$database" -s furball --frames 1 1 --size 1280 720 --aa 0 \
  --format pic --output "$pictures/sphere-before" >/dev/null 2>&1
"$host" render -d "$database" -s furball --frames 1 1 --size 1280 720 --aa 0 --exact-tubes \
  --format pic --output "$pictures/sphere-after" >/dev/null 2>&1
if cmp -s "$pictures/sphere-before.0001.pic" "$pictures/sphere-after.0001.pic"; then
  echo "The exact tubes of 10^6 hairs at level 0: the same bytes as $before_commit's picture."
else
  echo "The exact tubes of 10^6 hairs at level 0: NOT the bytes of $before_commit's picture."
fi
