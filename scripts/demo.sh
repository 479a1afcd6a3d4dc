#!/usr/bin/env bash
# Shows the bundled demo scene with the programs of the given build folder.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
"$build/bin/vellimor-host" info -d "$root/examples/furball" -s furball
