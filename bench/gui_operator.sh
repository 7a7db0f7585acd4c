#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop program as an operator drives it: under Xvfb with a window
# manager (openbox), the file chooser and the message boxes real windows
# answered by a timer, and the second core kept busy by a spinning process.
# A 27C040 Auto Write through vexowriter beside vexo on the same chip backing;
# prints the bench's lines: box waits removed, processor seconds (the
# program's and the display server's), box and run-queue waits removed, and
# with the box waits. Then the same with no display server at all (Qt's
# offscreen platform, the boxes still real objects answered by the timer):
# the difference is the display server's share.
#   bench/gui_operator.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$1
runs=${2:-5}

scratch=$(mktemp -d)
spinner= server= wm=
cleanup() {
  for pid in $wm $server $spinner; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display of our own, on the first free number; its pid for the figures.
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$scratch/display")
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

# One core busy for the whole measurement, GUI and vexo alike.
sh -c 'while :; do :; done' &
spinner=$!

bench=$build/tests/app/vexowriter_bench
echo "== Xvfb with openbox, one core busy =="
QT_QPA_PLATFORM=xcb "$bench" --operator --vexo "$build/src/cli/vexo" --runs "$runs" \
  --server-pid "$server" 2>/dev/null
echo "== offscreen (no display server), one core busy =="
QT_QPA_PLATFORM=offscreen "$bench" --operator --vexo "$build/src/cli/vexo" --runs "$runs" 2>/dev/null
