#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The time per chip a shared record adds (SQLite, PostgreSQL): medians of
# bench/production_db_bench.cpp, with a throwaway PostgreSQL cluster in a
# temporary folder (Unix socket only) that is stopped afterwards.
#   bench/db_bench.sh            (build dir: $VEXO_BUILD_DIR, else build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VEXO_BUILD_DIR:-build}
cmake --build "$build" --target vexo_bench -j2 >/dev/null

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | tail -n1 || true)
scratch=$(mktemp -d /tmp/vexo-dbbench-XXXXXX)
as=()
if [ -n "$pgbin" ]; then
  chmod 755 "$scratch"
  if [ "$(id -u)" -eq 0 ]; then chown postgres "$scratch"; as=(runuser -u postgres --); fi
  "${as[@]}" "$pgbin/initdb" -D "$scratch/data" -A trust -U postgres --no-sync >/dev/null
  "${as[@]}" "$pgbin/pg_ctl" -D "$scratch/data" -w -l "$scratch/server.log" \
    -o "-c listen_addresses='' -k $scratch" start >/dev/null
  export VEXO_BENCH_POSTGRES="postgresql:///postgres?host=$scratch&user=postgres"
else
  echo "PostgreSQL is not installed: its benchmark is skipped" >&2
fi
stop() {
  [ -n "$pgbin" ] && "${as[@]}" "$pgbin/pg_ctl" -D "$scratch/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap stop EXIT
"$build/bench/vexo_bench" --benchmark_filter='BM_ChipRecord' | grep -E 'median|error|Benchmark|----'
