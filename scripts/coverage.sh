#!/usr/bin/env bash
# Line and branch coverage of the product, per folder, from a build made with --coverage whose
# suite has just run. Tests, benchmarks and fuzz targets are not the product and are left out.
#   scripts/coverage.sh BUILD
set -euo pipefail

build=${1:?usage: scripts/coverage.sh BUILD}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)

# Branches that only exceptions take, and those the compiler proves unreachable, are noise. The
# counters of threaded code may race; a count gcov cannot read is skipped rather than fatal.
gcovr --root "$root" --object-directory "$build" -j "$(nproc)" \
      --exclude "$root/tests/" --exclude "$root/bench/" --exclude "$root/fuzz/" \
      --exclude "$build/" --exclude-unreachable-branches --exclude-throw-branches --gcov-ignore-parse-errors \
      --json-summary "$build/coverage.json" --txt "$build/coverage.txt"

python3 - "$build/coverage.json" <<'PY'
import json, sys
from collections import defaultdict

summary = json.load(open(sys.argv[1]))
folders = defaultdict(lambda: [0, 0, 0, 0])
for f in summary["files"]:
    name = f["filename"]
    folder = name.split("/", 1)[0] if "/" in name else "."
    for total, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
        folders[folder][total] += f[key]

def pct(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"

print(f"{'folder':<10} {'lines':>15} {'line %':>7} {'branches':>15} {'branch %':>8}")
rows = sorted(folders.items()) + [("total", [sum(v[i] for v in folders.values()) for i in range(4)])]
for folder, (lc, lt, bc, bt) in rows:
    print(f"{folder:<10} {lc:>7}/{lt:<7} {pct(lc, lt):>7} {bc:>7}/{bt:<7} {pct(bc, bt):>8}")
PY
