#!/usr/bin/env bash
# Builds the three Debian packages from the build folder and checks what an
# operator relies on: Debian's own rules (lintian), the menu entry, a server
# without GUI libraries, the layout unpacked together (the server answers,
# the host loads the screen), the service unit and its conffile, and an
# upgrade over the old single package.
#   package_layout.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/vex-package.XXXXXX)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Up to 10 s for PATTERN in LOG, or less if process PID ends first.
wait_for() {
  for _ in $(seq 100); do
    grep -q "$1" "$2" && return
    kill -0 "$3" 2>/dev/null || return
    sleep 0.1
  done
}

targets=(vex-host vex-appserver vex-db Pkg_vex00300)
cmake --build "$build" "${targets[@]/#/--target=}" >"$tmp/build.log" 2>&1 ||
  { cat "$tmp/build.log"; echo "FAIL: build"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")-1
arch=$(dpkg --print-architecture)
declare -A deb
for package in vex-common vex-appserver vex-client; do
  deb[$package]="$tmp/out/${package}_${version}_$arch.deb"
  [ -f "${deb[$package]}" ] ||
    { ls "$tmp/out"; echo "FAIL: no $(basename "${deb[$package]}")"; exit 1; }
  [ "$(dpkg-deb -f "${deb[$package]}" Version)" = "$version" ] ||
    fail "$package: version is not $version"
  echo "package: $(basename "${deb[$package]}"), $(stat -c %s "${deb[$package]}") bytes"
done
debs=("${deb[vex-common]}" "${deb[vex-appserver]}" "${deb[vex-client]}")

# Debian's rules: no error, and every warning fixed or overridden in the
# package with its reason.
if ! lintian --fail-on error,warning --no-tag-display-limit "${debs[@]}" >"$tmp/lintian" 2>&1; then
  fail "lintian: $(cat "$tmp/lintian")"
fi

root="$tmp/root"
for package in vex-common vex-appserver vex-client; do
  dpkg-deb -x "${deb[$package]}" "$root"
  dpkg-deb -e "${deb[$package]}" "$tmp/control-$package"
  dpkg-deb -c "${deb[$package]}" | awk '{ print $6 }' | sed 's|^\./|/|' \
    >"$tmp/files-$package"
done

# Each file where the package that must carry it puts it.
while read -r package path; do
  grep -qx "$path" "$tmp/files-$package" || fail "$package lacks $path"
done <<EOF
vex-common /usr/lib/vex/libvexwire.so
vex-common /usr/lib/vex/libvexdb.so
vex-appserver /usr/bin/vex-appserver
vex-appserver /usr/bin/vex-db
vex-appserver /lib/systemd/system/vex-appserver.service
vex-appserver /etc/vex/appserver.conf
vex-appserver /usr/share/doc/vex-appserver/operacao.md
vex-appserver /usr/share/doc/vex-appserver/examples/haproxy.cfg
vex-appserver /usr/share/man/man8/vex-appserver.8.gz
vex-appserver /usr/share/man/man1/vex-db.1.gz
vex-client /usr/bin/vex-host
vex-client /usr/lib/vex/modules/libPkg_vex00300.so
vex-client /usr/share/vex/vex.ini.example
vex-client /usr/share/doc/vex-client/guia-do-usuario.md
vex-client /usr/share/applications/vex00300.desktop
vex-client /usr/share/icons/hicolor/scalable/apps/vex00300.svg
vex-client /usr/share/man/man1/vex-host.1.gz
EOF
for package in vex-common vex-appserver vex-client; do
  for file in copyright changelog.Debian.gz; do
    grep -qx "/usr/share/doc/$package/$file" "$tmp/files-$package" ||
      fail "$package lacks /usr/share/doc/$package/$file"
  done
  for field in Section Priority Homepage Description; do
    [ -n "$(dpkg-deb -f "${deb[$package]}" "$field")" ] || fail "$package: no $field"
  done
  replaces=$(dpkg-deb -f "${deb[$package]}" Replaces)
  breaks=$(dpkg-deb -f "${deb[$package]}" Breaks)
  [[ $replaces == *"vex00300 (<< $version)"* && $breaks == *"vex00300 (<< $version)"* ]] ||
    fail "$package does not take over vex00300: Replaces '$replaces', Breaks '$breaks'"
done
# A desktop gets no service, a server no widgets.
grep -E '^/(lib|etc)/' "$tmp/files-vex-client" && fail "vex-client carries a service or /etc"
found=$(find "$root" -name 'tst_*' -o -name 'bench*' -o -name 'fuzz_*' -o -name 'vex_pch*')
[ -z "$found" ] || fail "tests or benchmarks installed: $found"

desktop-file-validate "$root/usr/share/applications/vex00300.desktop" >"$tmp/desktop" 2>&1 ||
  fail "desktop-file-validate: $(cat "$tmp/desktop")"
grep -qx 'Name=Acompanhamento de Pedidos OL' "$root/usr/share/applications/vex00300.desktop" ||
  fail "the menu entry is not named Acompanhamento de Pedidos OL"

# Every option a program knows is in its manual page.
for page in vex-appserver:8 vex-db:1 vex-host:1; do
  program=${page%:*}
  text=$(zcat "$root/usr/share/man/man${page#*:}/$program.${page#*:}.gz" | sed 's/\\-/-/g')
  for option in $("$root/usr/bin/$program" --help 2>&1 | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "$program.${page#*:} does not describe $option"
  done
done

# The server side resolves no GUI library, and its packages do not pull one in.
gui='libQt6(Widgets|Gui|OpenGL)|libGLX?\.|libOpenGL|libEGL'
for file in "$root"/usr/bin/vex-appserver "$root"/usr/bin/vex-db \
    "$root"/usr/lib/vex/libvexwire.so "$root"/usr/lib/vex/libvexdb.so \
    "$root"/usr/lib/vex/libvexdb_admin.so; do
  libs=$(env -u LD_LIBRARY_PATH ldd "$file")
  grep -E "$gui" <<<"$libs" && fail "$(basename "$file") loads a GUI library"
done
for package in vex-common vex-appserver; do
  depends=$(dpkg-deb -f "${deb[$package]}" Depends)
  grep -qE 'libqt6(widgets|gui|opengl)' <<<"$depends" && fail "$package depends on GUI: $depends"
done
depends=$(dpkg-deb -f "${deb[vex-client]}" Depends)
for need in vex-common libqt6widgets6 qt6-translations-l10n; do
  grep -q "\b$need\b" <<<"$depends" || fail "vex-client: Depends lacks $need: $depends"
done
depends=$(dpkg-deb -f "${deb[vex-appserver]}" Depends)
for need in vex-common libqt6core6 libqt6sql6-sqlite libqt6sql6-psql adduser; do
  grep -q "\b$need\b" <<<"$depends" || fail "vex-appserver: Depends lacks $need: $depends"
done

# Our libraries come from the unpacked root through the RPATH, never from
# the build folder, and nothing is missing.
modules=$(sed -n 's/^Modules=//p' "$root/usr/share/vex/vex.ini.example")
[ -f "$root$modules/libPkg_vex00300.so" ] || fail "libPkg_vex00300.so not in Modules=$modules"
for file in "$root"/usr/bin/* "$root"/usr/lib/vex/*.so "$root$modules"/*.so; do
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

# The unpacked server answers system.ping on a database the unpacked vex-db made.
db="sqlite:$tmp/ping.db"
env -u LD_LIBRARY_PATH "$root/usr/bin/vex-db" init --database "$db" >/dev/null 2>"$tmp/init" ||
  fail "vex-db init: $(cat "$tmp/init")"
env -u LD_LIBRARY_PATH "$root/usr/bin/vex-appserver" --database "$db" --listen 127.0.0.1:0 \
  --threads 1 >"$tmp/server.log" 2>&1 &
server=$!
wait_for 'pronto em' "$tmp/server.log" "$server"
port=$(sed -n 's/.*pronto em 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$tmp/server.log")
reply=""
if [ -n "$port" ] && exec 4<>"/dev/tcp/127.0.0.1/$port"; then
  printf '{"jsonrpc":"2.0","id":1,"method":"system.ping"}\n' >&4
  read -r -t 10 reply <&4 || true
  exec 4>&-
fi
[[ $reply == *'"result":"pong"'* ]] ||
  fail "the unpacked vex-appserver did not answer system.ping: ${reply:-$(cat "$tmp/server.log")}"
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
server=""

# Without any vex.ini, the unpacked host finds the screen package itself.
mkdir "$tmp/home"
(cd "$tmp" && exec env -u VEX_CONFIG -u LD_LIBRARY_PATH XDG_CONFIG_HOME="$tmp/home" \
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/vex-host" >"$tmp/host.log" 2>&1) &
host=$!
wait_for 'loaded VEX00300' "$tmp/host.log" "$host"
kill "$host" 2>/dev/null || true
wait "$host" 2>/dev/null || true
grep -q "loaded VEX00300 from $root/usr/lib/vex/modules/" "$tmp/host.log" ||
  fail "the unpacked vex-host did not load the package: $(tail -n 3 "$tmp/host.log")"

conf="$root/etc/vex/appserver.conf"
[ -f "$conf" ] || fail "etc/vex/appserver.conf missing"
[ "$(dpkg-deb -c "${deb[vex-appserver]}" |
    awk '$6 == "./etc/vex/appserver.conf" { print $1 }')" = "-rw-------" ] ||
  fail "etc/vex/appserver.conf (it may hold the database password) is readable by others"
grep -qx /etc/vex/appserver.conf "$tmp/control-vex-appserver/conffiles" ||
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
    'ExecStart=/usr/bin/vex-appserver $VEX_APPSERVER_ARGS' \
    Documentation=file:/usr/share/doc/vex-appserver/operacao.md; do
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
  [ -x "$tmp/control-vex-appserver/$script" ] || fail "$script missing or not executable"
  sh -n "$tmp/control-vex-appserver/$script" || fail "$script: syntax"
done

"$source_dir/tests/packaging/upgrade_check.sh" "$tmp" "$root" "${debs[@]}" ||
  failures=$((failures + 1))

[ "$failures" -eq 0 ] || exit 1
echo "package layout: ok"
