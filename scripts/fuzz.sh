#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each over the committed seed corpus (fuzz/corpus/TARGET),
# with new inputs kept in BUILD/corpus/TARGET. A crash, a sanitizer report, a timeout or a run
# out of memory fails the run; the input that did it is left in BUILD/artifacts/ to be added to
# the corpus as a regression input.
#   scripts/fuzz.sh BUILD SECONDS [TARGET...]
set -euo pipefail

build=${1:?usage: scripts/fuzz.sh BUILD SECONDS [TARGET...]}
seconds=${2:?usage: scripts/fuzz.sh BUILD SECONDS [TARGET...]}
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pic scene_file fur_text stored_fur model_file)

mkdir -p "$build/artifacts"
# Targets run side by side, JOBS at a time (default: the machine's cores); each reports when done.
jobs=${JOBS:-$(nproc)}

run_target() {
  local target=$1 work="$build/corpus/$1"
  mkdir -p "$work"
  # -timeout: one input may take at most 10 s; -rss_limit_mb bounds the memory of the run.
  if ! "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=0 -artifact_prefix="$build/artifacts/${target}-" \
       "$work" "$root/fuzz/corpus/$target" >"$build/fuzz_$target.log" 2>&1; then
    echo "fuzz_$target FAILED (log: $build/fuzz_$target.log, inputs: $build/artifacts/)"
    tail -40 "$build/fuzz_$target.log"
    return 1
  fi
  echo "fuzz_$target: ${seconds}s, passed"
}

export build seconds root
export -f run_target
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target "$1"' _ {} || exit 1
