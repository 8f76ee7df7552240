#!/usr/bin/env bash
# Export of the whole filtering on a demo SQLite database:
# bench/export/run.sh [SCALE [MONTHS]]   (default 50 and 1; the demo load takes a while)
# Databases are kept in $VEX_BENCH_DIR (default /tmp/vex-bench) between runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VEX_BUILD_DIR:-$root/build}
scale=${1:-50}
months=${2:-1}
dir=${VEX_BENCH_DIR:-/tmp/vex-bench}; mkdir -p "$dir"
cmake --build "$build" --target vex-db vex-appserver bench-export >/dev/null
db="$dir/scale$scale.db"
if [ ! -f "$db" ]; then
  "$build/bin/vex-db" init --database "sqlite:$db.tmp" >/dev/null
  "$build/bin/vex-db" demo --database "sqlite:$db.tmp" --scale "$scale" --seed 1 >/dev/null
  mv "$db.tmp" "$db"; rm -f "$db.tmp-wal" "$db.tmp-shm"
fi
"$build/bin/bench-export" --database "sqlite:$db" --label "SQLite scale $scale" --months "$months"
# and as many whole months before the current one
"$build/bin/bench-export" --database "sqlite:$db" --label "SQLite scale $scale" \
  --months "$months" --month "$(date -d "-$months month" +%Y-%m)"
# the same, fetched branch by branch while writing, as the window does
"$build/bin/bench-export" --database "sqlite:$db" --label "SQLite scale $scale" \
  --months "$months" --month "$(date -d "-$months month" +%Y-%m)" --by-branch
