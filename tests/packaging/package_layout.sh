#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a
# temporary root and checks what an operator relies on: the layout, the
# service unit, the conffile, and that the unpacked programs run from there.
#   package_layout.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d /tmp/vex-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

targets=(vex-host vex-appserver vex-db Pkg_vex00300)
cmake --build "$build" "${targets[@]/#/--target=}" >"$tmp/build.log" 2>&1 ||
  { cat "$tmp/build.log"; echo "FAIL: build"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$tmp/out/vex00300_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$tmp/out"; echo "FAIL: no $(basename "$deb")"; exit 1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$tmp/control"

for program in vex-host vex-appserver vex-db; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing or not executable"
done
found=$(find "$root" -name 'tst_*' -o -name 'bench*' -o -name 'fuzz_*')
[ -z "$found" ] || fail "tests or benchmarks installed: $found"

# The host loads packages from the folder the sample vex.ini names.
modules=$(sed -n 's/^Modules=//p' "$root/usr/share/vex/vex.ini.example")
[ -f "$root$modules/libPkg_vex00300.so" ] || fail "libPkg_vex00300.so not in Modules=$modules"

# Our libraries come from the unpacked root through the RPATH, never from
# the build folder, and nothing is missing.
for file in "$root"/usr/bin/* "$root$modules"/*.so; do
  libs=$(env -u LD_LIBRARY_PATH ldd "$file")
  if grep -q 'not found' <<<"$libs"; then
    fail "$(basename "$file"): $(grep 'not found' <<<"$libs")"
  fi
  for lib in $(awk '/libvex/ { print $3 }' <<<"$libs"); do
    case $(readlink -f "$lib") in
      "$root"/usr/lib/vex/*) ;;
      *) fail "$(basename "$file") takes $lib from outside the package" ;;
    esac
  done
done
for program in vex-appserver vex-db vex-host; do
  env -u LD_LIBRARY_PATH "$root/usr/bin/$program" --help >"$tmp/help" 2>&1 ||
    fail "$program --help: $(head -n 3 "$tmp/help")"
done

# Without any vex.ini, the unpacked host finds the screen package itself.
mkdir "$tmp/home"
(cd "$tmp" && exec env -u VEX_CONFIG -u LD_LIBRARY_PATH XDG_CONFIG_HOME="$tmp/home" \
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/vex-host" >"$tmp/host.log" 2>&1) &
host=$!
for _ in $(seq 100); do
  grep -q 'loaded VEX00300' "$tmp/host.log" && break
  kill -0 "$host" 2>/dev/null || break
  sleep 0.1
done
kill "$host" 2>/dev/null || true
wait "$host" 2>/dev/null || true
grep -q "loaded VEX00300 from $root/usr/lib/vex/modules/" "$tmp/host.log" ||
  fail "the unpacked vex-host did not load the package: $(tail -n 3 "$tmp/host.log")"

conf="$root/etc/vex/appserver.conf"
[ -f "$conf" ] || fail "etc/vex/appserver.conf missing"
[ "$(dpkg-deb -c "$deb" | awk '$6 == "./etc/vex/appserver.conf" { print $1 }')" = "-rw-------" ] ||
  fail "etc/vex/appserver.conf (it may hold the database password) is readable by others"
grep -qx /etc/vex/appserver.conf "$tmp/control/conffiles" ||
  fail "/etc/vex/appserver.conf is not a conffile"
# The shipped flags are ones the server knows (an unknown flag fails even
# with --help).
args=$(sed -n 's/^VEX_APPSERVER_ARGS="\(.*\)"$/\1/p' "$conf")
[ -n "$args" ] || fail "appserver.conf sets no VEX_APPSERVER_ARGS"
# shellcheck disable=SC2086 # split like systemd splits $VEX_APPSERVER_ARGS
"$root/usr/bin/vex-appserver" $args --help >/dev/null 2>"$tmp/args" ||
  fail "appserver.conf flags refused: $(cat "$tmp/args")"

unit="$root/lib/systemd/system/vex-appserver.service"
[ -f "$unit" ] || { echo "FAIL: no lib/systemd/system/vex-appserver.service"; exit 1; }
for directive in User=vex ProtectSystem=strict NoNewPrivileges=yes Restart=on-failure \
    PrivateTmp=yes ProtectHome=yes StateDirectory=vex KillSignal=SIGTERM \
    EnvironmentFile=/etc/vex/appserver.conf \
    'ExecStart=/usr/bin/vex-appserver $VEX_APPSERVER_ARGS'; do
  grep -qxF "$directive" "$unit" || fail "unit lacks $directive"
done
# systemd must wait longer than the server's own drain before killing it.
grace=$("$root/usr/bin/vex-appserver" --help | tr '\n' ' ' | sed 's/.*--stop-grace-s//' |
  grep -o 'padrão [0-9]*' | head -n 1 | cut -d ' ' -f 2)
stop=$(sed -n 's/^TimeoutStopSec=\([0-9]*\)$/\1/p' "$unit")
[ -n "$grace" ] && [ -n "$stop" ] && [ "$stop" -gt "$grace" ] ||
  fail "TimeoutStopSec (${stop:-none}) not above --stop-grace-s (${grace:-unknown})"
if command -v systemd-analyze >/dev/null; then
  # Verified as installed, with its paths pointing into the unpacked root.
  sed -e "s|=/usr/bin/|=$root/usr/bin/|" -e "s|=/etc/vex/|=$root/etc/vex/|" "$unit" \
    >"$tmp/vex-appserver.service"
  if ! out=$(systemd-analyze verify "$tmp/vex-appserver.service" 2>&1) || [ -n "$out" ]; then
    fail "systemd-analyze verify: $out"
  fi
else
  echo "systemd-analyze not installed: unit syntax not verified"
fi

for script in postinst prerm postrm; do
  [ -x "$tmp/control/$script" ] || fail "$script missing or not executable"
  sh -n "$tmp/control/$script" || fail "$script: syntax"
done
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6core6 libqt6sql6-sqlite libqt6sql6-psql adduser; do
  grep -q "\b$need\b" <<<"$depends" || fail "Depends lacks $need: $depends"
done

[ "$failures" -eq 0 ] || exit 1
echo "package layout: ok"
