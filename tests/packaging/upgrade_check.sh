#!/usr/bin/env bash
# An operator's upgrade from the old single package vex00300 to the three
# packages, with apt, as root, in a throwaway copy of this machine: an
# overlay over / in a mount namespace of its own, so that dpkg and the
# maintainer scripts (the vex user, /var/lib/vex) touch nothing real.
#   upgrade_check.sh WORK_DIR UNPACKED_ROOT COMMON.deb APPSERVER.deb CLIENT.deb
# The old package is rebuilt from the new files at its old paths, with the
# same maintainer scripts, as version 0.1 shipped it.
set -euo pipefail
work=$1 unpacked=$2
shift 2
news=("$@")
if [ "$(id -u)" -ne 0 ]; then
  echo "upgrade: not root, skipped (dpkg -i needs root, even in a copy)"
  exit 0
fi

old="$work/old"
mkdir -p "$old/DEBIAN" "$old/usr/share/doc/vex00300"
cp -a "$unpacked/." "$old/"
rm -rf "$old"/usr/share/{doc/vex-*,man,applications,icons,lintian}
cp "$unpacked/usr/share/doc/vex-appserver/operacao.md" \
   "$unpacked/usr/share/doc/vex-appserver/examples/haproxy.cfg" "$old/usr/share/doc/vex00300/"
cp "$work"/control-vex-appserver/{conffiles,postinst,prerm,postrm} "$old/DEBIAN/"
cat >"$old/DEBIAN/control" <<EOF
Package: vex00300
Version: 0.1
Architecture: $(dpkg --print-architecture)
Maintainer: Equipe VEX <vex@example.com>
Depends: libqt6sql6-sqlite, libqt6sql6-psql, adduser, init-system-helpers
Section: misc
Priority: optional
Description: Order tracking: application server, host and screen
EOF
dpkg-deb --root-owner-group -b "$old" "$work/vex00300_0.1.deb" >/dev/null

copy="$work/copy"
mkdir -p "$copy"/{upper,work,root}
cat >"$work/upgrade.sh" <<'EOF'
#!/bin/sh
# Runs inside the copy: the old package, an operator's edits, then the new ones.
set -e
export DEBIAN_FRONTEND=noninteractive
dpkg -i "$1" >/dev/null
echo '# edited by the operator' >>/etc/vex/appserver.conf
sum=$(md5sum /var/lib/vex/vex.db)
shift
apt-get install -y -q "$@" </dev/null
echo "---"
for p in vex00300 vex-common vex-appserver vex-client; do
  echo "$p: $(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || echo none)"
done
grep -qx '# edited by the operator' /etc/vex/appserver.conf && echo "conffile: kept"
[ "$(md5sum /var/lib/vex/vex.db)" = "$sum" ] && echo "database: kept"
getent passwd vex >/dev/null && echo "user: kept"
[ "$(readlink /etc/systemd/system/vex-appserver.service || true)" = /dev/null ] ||
  echo "unit: not masked"
[ -x /usr/bin/vex-appserver ] && [ -f /usr/lib/vex/modules/libPkg_vex00300.so ] &&
  echo "programs: there"
EOF
chmod +x "$work/upgrade.sh"
unshare --mount --propagation private sh -c '
  set -e
  copy=$1; shift
  mount -t overlay overlay -o "lowerdir=/,upperdir=$copy/upper,workdir=$copy/work" "$copy/root"
  mount --rbind /dev "$copy/root/dev"
  mount -t proc proc "$copy/root/proc"
  exec chroot "$copy/root" "$@"' sh "$copy" "$work/upgrade.sh" "$work/vex00300_0.1.deb" \
  "${news[@]}" >"$work/upgrade.log" 2>&1 || true

expected="vex00300: none
vex-common: ii
vex-appserver: ii
vex-client: ii
conffile: kept
database: kept
user: kept
unit: not masked
programs: there"
outcome=$(sed -n '/^---$/,$p' "$work/upgrade.log" | tail -n +2)
# A package removed but for its configuration shows as "rc": gone too.
outcome=$(sed 's/ *$//; s/^vex00300: \(rc\|un\)$/vex00300: none/' <<<"$outcome")
if [ "$outcome" != "$expected" ]; then
  echo "FAIL: upgrade over vex00300 0.1:"
  cat "$work/upgrade.log"
  exit 1
fi
echo "upgrade over vex00300 0.1: ok"
