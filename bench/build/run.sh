#!/usr/bin/env bash
# First-run figures on a fresh clone: bench/build/run.sh [REPO [REF [--run-only]]]
# Clones REPO (default: this repository) at REF (default HEAD) into a
# temporary folder and, with ccache off, times as a newcomer meets them:
#   1. ./run on a virtual screen, until the host's window is mapped;
#   2. the rest of ./test's build;
#   3. ./test itself (its build then has nothing left to do).
# Prints wall, user and sys seconds of each, the load, and where the build
# time went, from ninja's own log. Slow by nature: a whole cold build
# (--run-only stops after the first figure).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
repo=${1:-$here}
ref=${2:-HEAD}
run_only=${3:-}
dir=$(mktemp -d /tmp/vex-bench-build.XXXXXX)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
git clone -q "$repo" "$dir/src"
git -C "$dir/src" checkout -q "$(git -C "$repo" rev-parse "$ref")"
cd "$dir/src"
scripts/setup
export CCACHE_DISABLE=1
echo "commit $(git rev-parse --short HEAD), $(nproc) cores, load at start:$(uptime | sed 's/.*load average://')"

display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

row() { printf '%-34s wall %6.0f s   user %6.0f s   sys %5.0f s\n' "$1" "$2" "$3" "$4"; }
# GNU time puts "Command exited with non-zero status" before its figures.
figures() { tail -n 1 "$1"; }

# 1. ./run until its window shows; then the host is ended (./run stops its
# server on the way out) so that the CPU time covers all of ./run.
start=$(date +%s.%N)
DISPLAY=":$display" VEX_PORT=17300 /usr/bin/time -f '%e %U %S' -o "$dir/run.time" \
  ./run >"$dir/run.log" 2>&1 &
run=$!
if window=$(DISPLAY=":$display" timeout 3600 xdotool search --sync --onlyvisible --name '^VEX'); then
  shown=$(date +%s.%N)
  pid=$(DISPLAY=":$display" xdotool getwindowpid "$(head -n 1 <<<"$window")")
  kill "$pid"
else
  shown=""
fi
wait "$run" || true
if [ -z "$shown" ]; then
  cat "$dir/run.log"
  echo "run: the window never showed"
  exit 1
fi
read -r _ user sys <<<"$(figures "$dir/run.time")"
row "./run until the window shows" "$(awk -v a="$start" -v b="$shown" 'BEGIN { print b - a }')" "$user" "$sys"
cp build/.ninja_log "$dir/run.ninja_log"

# 2. and 3.
if [ "$run_only" != --run-only ]; then
  /usr/bin/time -f '%e %U %S' -o "$dir/build.time" scripts/build >/dev/null
  read -r wall user sys <<<"$(figures "$dir/build.time")"
  row "the rest of ./test's build" "$wall" "$user" "$sys"
  /usr/bin/time -f '%e %U %S' -o "$dir/test.time" ./test >"$dir/test.log" 2>&1 ||
    { tail -n 30 "$dir/test.log"; echo "test: failed"; }
  read -r wall user sys <<<"$(figures "$dir/test.time")"
  row "./test after the build" "$wall" "$user" "$sys"
  grep -E 'tests passed|tests failed' "$dir/test.log" || true
fi
echo "load at end:$(uptime | sed 's/.*load average://')"

# Where the build time went: compile and link seconds per target, then the
# slowest single steps (several run at once, so these add up past the wall).
echo "build steps by target (seconds of one core):"
awk -F'\t' 'NR > 1 {
    t = $4
    if (match(t, /CMakeFiles\/[^\/]*\.dir/)) t = substr(t, RSTART + 11, RLENGTH - 15)
    else if (t ~ /^(bin|lib)\//) { sub(/.*\//, "", t); t = "link " t }
    else t = "other"
    s[t] += ($2 - $1) / 1000; n[t]++ }
  END { for (t in s) printf "%8.1f %4d  %s\n", s[t], n[t], t }' build/.ninja_log |
  sort -rn | head -n 25
echo "slowest steps:"
awk -F'\t' 'NR > 1 { printf "%8.1f  %s\n", ($2 - $1) / 1000, $4 }' build/.ninja_log |
  sort -rn | head -n 15
