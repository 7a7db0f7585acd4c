#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds vexowriter if needed, starts it under Xvfb on a simulated module and
# saves PNG pictures of the main window (dump shown), its menus, every dialog,
# the About box and the message boxes; then the same at twice the pixel
# density, for checking the drawn pictures on high-DPI screens.
#   scripts/screenshots.sh [OUT_DIR]      (default: <build dir>/screenshots)
# The build dir is $VEXO_BUILD_DIR, else build-gui.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEXO_BUILD_DIR:-build-gui}
out=${1:-$build/screenshots}

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja -DVEXO_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target vexowriter

# A home of its own: no settings or chip file of the user's is touched.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/run
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
port="sim:chip=$scratch/chip.bin,size=27C040"

run() {  # run DIR [ENV=VALUE...]
  local dir=$1
  shift
  mkdir -p "$dir"
  env "$@" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24" \
    "$build/src/app/vexowriter" --port "$port" --screenshot-dir "$dir"
}
run "$out"
run "$out/hidpi" QT_SCALE_FACTOR=2
echo "Screenshots in $out (and $out/hidpi)"
