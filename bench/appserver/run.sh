#!/usr/bin/env bash
# Benchmarks vex-appserver on demo databases, SQLite and PostgreSQL side by
# side: bench/appserver/run.sh [SCALE ...]   (default: 1 20 50)
# Databases, and the PostgreSQL cluster holding them, are kept in
# $VEX_BENCH_DIR (default /tmp/vex-bench) between runs: a scale is generated
# once. VEX_APPSERVER=PATH measures another server program on them.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VEX_BUILD_DIR:-$root/build}
scales=("$@"); [ ${#scales[@]} -eq 0 ] && scales=(1 20 50)
dir=${VEX_BENCH_DIR:-/tmp/vex-bench}; mkdir -p "$dir"
cmake --build "$build" --target vex-db vex-appserver bench-appserver >/dev/null

pgdir=$dir/pg
if [ -d "$pgdir/data" ]; then
  "$root/scripts/pg-cluster" resume "$pgdir"
  export VEX_TEST_PG_URL=postgresql://postgres@127.0.0.1:$(cat "$pgdir/port")/vextest
else
  eval "$("$root/scripts/pg-cluster" start "$pgdir")"
fi
trap '"$root/scripts/pg-cluster" stop "$pgdir"' EXIT
pgbase=${VEX_TEST_PG_URL%/*}

for s in "${scales[@]}"; do
  db="$dir/scale$s.db"
  if [ ! -f "$db" ]; then
    "$build/bin/vex-db" init --database "sqlite:$db.tmp" >/dev/null
    "$build/bin/vex-db" demo --database "sqlite:$db.tmp" --scale "$s" --seed 1 >/dev/null
    mv "$db.tmp" "$db"; rm -f "$db.tmp-wal" "$db.tmp-shm"
  fi
  # A database is renamed into place only once its demo is complete.
  exists="SELECT 1 FROM pg_database WHERE datname = 'bench$s'"
  if [ -z "$(psql "$VEX_TEST_PG_URL" -Atc "$exists")" ]; then
    psql "$VEX_TEST_PG_URL" -qc "DROP DATABASE IF EXISTS bench${s}_new" \
      -c "CREATE DATABASE bench${s}_new" >/dev/null
    "$build/bin/vex-db" init --database "$pgbase/bench${s}_new" >/dev/null
    "$build/bin/vex-db" demo --database "$pgbase/bench${s}_new" --scale "$s" --seed 1 >/dev/null
    psql "$pgbase/bench${s}_new" -qc "VACUUM ANALYZE" >/dev/null
    psql "$VEX_TEST_PG_URL" -qc "ALTER DATABASE bench${s}_new RENAME TO bench$s" >/dev/null
  fi
  "$build/bin/bench-appserver" --database "sqlite:$db" --label "SQLite scale $s"
  "$build/bin/bench-appserver" --database "$pgbase/bench$s" --label "PostgreSQL scale $s"
done
