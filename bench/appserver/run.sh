#!/usr/bin/env bash
# Benchmarks vex-appserver on demo databases, SQLite and PostgreSQL side by
# side: bench/appserver/run.sh [SCALE ...]   (default: 1 20 50)
# Databases are kept in $VEX_BENCH_DIR (default /tmp/vex-bench) between runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VEX_BUILD_DIR:-$root/build}
scales=("$@"); [ ${#scales[@]} -eq 0 ] && scales=(1 20 50)
dir=${VEX_BENCH_DIR:-/tmp/vex-bench}; mkdir -p "$dir"
cmake --build "$build" --target vex-db vex-appserver bench-appserver >/dev/null

pgdir=$(mktemp -d /tmp/vex-pg.XXXXXX)
trap '"$root/scripts/pg-cluster" stop "$pgdir"; rm -rf "$pgdir"' EXIT
eval "$("$root/scripts/pg-cluster" start "$pgdir")"
pgbase=${VEX_TEST_PG_URL%/*}

for s in "${scales[@]}"; do
  db="$dir/scale$s.db"
  if [ ! -f "$db" ]; then
    "$build/bin/vex-db" init --database "sqlite:$db.tmp" >/dev/null
    "$build/bin/vex-db" demo --database "sqlite:$db.tmp" --scale "$s" --seed 1 >/dev/null
    mv "$db.tmp" "$db"; rm -f "$db.tmp-wal" "$db.tmp-shm"
  fi
  psql "$VEX_TEST_PG_URL" -qc "CREATE DATABASE bench$s" >/dev/null
  "$build/bin/vex-db" init --database "$pgbase/bench$s" >/dev/null
  "$build/bin/vex-db" demo --database "$pgbase/bench$s" --scale "$s" --seed 1 >/dev/null
  psql "$pgbase/bench$s" -qc "VACUUM ANALYZE" >/dev/null
  "$build/bin/bench-appserver" --database "sqlite:$db" --label "SQLite scale $s"
  "$build/bin/bench-appserver" --database "$pgbase/bench$s" --label "PostgreSQL scale $s"
done
