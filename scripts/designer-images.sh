#!/usr/bin/env bash
# Takes the pictures of docs/designer.md again: runs the windowed tests that look at those windows
# (on the test build's Xvfb) and copies the pictures they saved into docs/images/.
#   scripts/designer-images.sh [TEST_BUILD]      (default build-test, as `make test-build` makes it)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-test}
artefacts=$build/artefacts

cmake --build "$build" --target test_windowed
rm -rf "$artefacts/designer" "$artefacts/keymap-painted-sphere.png"
(cd "$build" && ctest --output-on-failure \
   -R 'xvfb_|DesignerWindowed\.|KeyMapWindowed\.')

mkdir -p "$root/docs/images"
# picture saved by a test -> name in docs/images
pictures=(
  "designer/main-window.png       designer-main-window.png"
  "keymap-painted-sphere.png      designer-painted-keys.png"
  "designer/curve-editor.png      designer-curve-editor.png"
  "designer/render-settings.png   designer-render-settings.png"
  "designer/display-settings.png  designer-display-settings.png"
  "designer/exit-question.png     designer-exit-question.png"
)
for entry in "${pictures[@]}"; do
  read -r from to <<<"$entry"
  cp "$artefacts/$from" "$root/docs/images/$to"
  echo "docs/images/$to"
done
