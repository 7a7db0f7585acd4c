#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop program's figures:
#  1. a 27C040 Auto Write on the simulated module through the GUI (offscreen)
#     next to the same through vexo; target GUI <= 1.3 x vexo;
#  2. the same as an operator drives it: under Xvfb with a window manager,
#     real message boxes answered by a timer, the second core busy
#     (bench/gui_operator.sh), then offscreen under the same load;
#  3. the idle program's peak resident memory under Xvfb; target < 80 MB.
#   bench/gui_bench.sh [RUNS]     (build dir: $VEXO_BUILD_DIR, else build-gui)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEXO_BUILD_DIR:-build-gui}
runs=${1:-3}

cmake -S . -B "$build" -G Ninja -DVEXO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vexowriter vexowriter_bench vexo >/dev/null

scratch=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/run
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

QT_QPA_PLATFORM=offscreen "$build/tests/app/vexowriter_bench" --vexo "$build/src/cli/vexo" --runs "$runs"

bench/gui_operator.sh "$build" "$runs"

# Idle: started on its default simulated module, left alone for 3 s.
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  "$1" & pid=$!
  sleep 3
  grep -E "VmHWM" /proc/$pid/status | awk "{printf \"idle vexowriter (Xvfb): peak resident %.1f MB (target < 80 MB)\n\", \$2/1024}"
  kill $pid' sh "$build/src/app/vexowriter"
