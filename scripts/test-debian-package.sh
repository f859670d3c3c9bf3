#!/usr/bin/env bash
# The Debian package as a user meets it (not part of CI: it builds a fresh
# Debian 12 root from the package archive with mmdebstrap, which takes minutes
# and a few hundred megabytes). Run as root:
#   bash scripts/test-debian-package.sh
# It builds the .deb (cpack), checks it with lintian, installs it with apt in the
# fresh root, checks that the desktop opens .kiv files and kiv: links with the
# client, that "xdg-open demo.kiv" under Xvfb starts a session against the demo
# server, and that removing the package leaves nothing behind.
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "run as root (mmdebstrap, chroot)"; exit 2; }
for tool in mmdebstrap lintian dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || missing+=" $tool"
done
if [ -n "${missing:-}" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap lintian dpkg-dev
fi

work="${KIV_PACKAGE_WORK:-$(mktemp -d /tmp/kiv-package.XXXXXX)}"
root="$work/root"
echo "package test: working in $work"
failures=0
check() {  # check NAME COMMAND...: runs it, prints ok or FAILED
  local name="$1"; shift
  if "$@"; then echo "ok      $name"; else echo "FAILED  $name"; failures=$((failures + 1)); fi
}

# 1. The package, from a release build of its own (KIV_PACKAGE_BUILD=build reuses
# the usual build folder); only what the package holds is built.
build="${KIV_PACKAGE_BUILD:-build-package}"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKIV_TESTS=OFF -DKIV_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target kivclient kiv-status kivtool kiv-demo-server FixClient kiv_resources kiv_changelog >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/kivclient_*.deb | head -1)"
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
echo "--- lintian"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.txt" || true
check "lintian reports no error" bash -c "! grep -q '^E:' '$work/lintian.txt'"

# 2. A fresh Debian 12 with X and nothing of ours.
if [ ! -x "$root/usr/bin/apt-get" ]; then
  mmdebstrap --variant=apt --include=ca-certificates,xvfb,procps bookworm "$root" \
    "deb http://deb.debian.org/debian bookworm main" >"$work/mmdebstrap.log" 2>&1
fi
cp "$deb" "$root/tmp/kivclient.deb"
mounts=(proc sys dev dev/pts)
mount_all() {
  mount -t proc proc "$root/proc"; mount -t sysfs sys "$root/sys"
  mount --bind /dev "$root/dev"; mount --bind /dev/pts "$root/dev/pts"
}
umount_all() { for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "$root/${mounts[$i]}" 2>/dev/null || true; done; }
trap umount_all EXIT
mount_all
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

# Everything on the root's file system except what changes by itself.
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /run -o -path /root \
    -o -path /var/cache -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/log \) -prune -o -print | sort
}
snapshot >"$work/before.txt"

# 3. Installed with apt: the dependencies dpkg-shlibdeps computed come along.
in_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq /tmp/kivclient.deb >"$work/install.log" 2>&1
check "apt installs the package" in_root test -x /opt/kivclient/kivclient
check "launcher /usr/bin/kivclient" in_root /usr/bin/kivclient --version
echo "    $(in_root /usr/bin/kivclient --version)"
kiv_handler="$(in_root xdg-mime query default application/x-kiv || true)"
link_handler="$(in_root xdg-mime query default x-scheme-handler/kiv || true)"
echo "    xdg-mime: application/x-kiv -> $kiv_handler, x-scheme-handler/kiv -> $link_handler"
check "xdg-mime names the client for application/x-kiv" test "$kiv_handler" = kivclient.desktop
check "xdg-mime names the client for kiv: links" test "$link_handler" = kivclient.desktop
check "demo.kiv is application/x-kiv" bash -c \
  "cp examples/demo.kiv '$root/tmp/demo.kiv' && test \"\$(chroot '$root' xdg-mime query filetype /tmp/demo.kiv)\" = application/x-kiv"

# 4. xdg-open demo.kiv on a private display starts a session against the demo server.
rm -rf "$root/root/.local" "$root/root/.config"  # the user of an earlier run
cat >"$root/tmp/open-demo.sh" <<'EOS'
#!/bin/sh
set -u
cd "$(mktemp -d /tmp/open-demo.XXXXXX)"
mkdir -p /tmp/xdg-run && chmod 700 /tmp/xdg-run
export XDG_RUNTIME_DIR=/tmp/xdg-run
Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp >display.txt 2>xvfb.log &
xvfb=$!
for i in $(seq 50); do [ -s display.txt ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 display.txt)"
kiv-demo-server --port 0 --state-dir demo-state --transcript transcript.jsonl >server.txt 2>server.log &
server=$!
for i in $(seq 50); do [ -s server.txt ] && break; sleep 0.1; done
port="$(sed -n 's/^listening on 127.0.0.1://p' server.txt)"
sed "s/127\.0\.0\.1:3389/127.0.0.1:$port/" /tmp/demo.kiv >"$PWD/demo.kiv"
# The demo server's certificate is self-signed, so the client asks about it on
# first use; the client's test hook answers that question with Yes.
export KIV_TEST_MESSAGE_LOG="$PWD/boxes.jsonl"
xdg-open "$PWD/demo.kiv" >xdg-open.log 2>&1 &
started=0
for i in $(seq 300); do
  if grep -q '"event":"recv"' transcript.jsonl 2>/dev/null; then started=1; break; fi
  sleep 0.1
done
client="$(pgrep -x kivclient || true)"
[ -n "$client" ] && kivtool send-window-message --pid "$client" WM_MSG_DISCONNECT_DEBUG >/dev/null 2>&1
sleep 2
[ -n "$client" ] && kill "$client" 2>/dev/null
kill "$server" "$xvfb" 2>/dev/null
echo "messages the server received: $(grep -c '"event":"recv"' transcript.jsonl 2>/dev/null || echo 0)"
[ "$started" = 1 ]
EOS
chmod +x "$root/tmp/open-demo.sh"
check "xdg-open demo.kiv starts a session against the demo server" in_root /tmp/open-demo.sh
check "the client registered itself for the user on the way" in_root test -f /root/.local/share/applications/kivclient.desktop

# 5. Removed with what it brought along: nothing of it stays behind.
in_root dpkg -L kivclient >"$work/package-files.txt"
DEBIAN_FRONTEND=noninteractive in_root apt-get purge -y -qq --autoremove kivclient >"$work/purge.log" 2>&1
snapshot >"$work/after.txt"
echo "--- paths that differ from before the install (outside the user's home)"
echo "    (what stays comes from dependencies apt keeps: required packages, users made, caches)"
diff "$work/before.txt" "$work/after.txt" | grep '^[<>]' | sed 's/^/    /' || echo "    none"
left=""
while read -r path; do
  if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
    # Shared folders (/usr/bin, /usr/share ...) stay; the package's own tree must not.
    case "$path" in /opt/kivclient*) left="$left $path" ;; esac
  elif [ -e "$root$path" ] || [ -L "$root$path" ]; then
    left="$left $path"
  fi
done <"$work/package-files.txt"
[ -z "$left" ] || echo "left behind:$left"
check "no file of the package stays" test -z "$left"
check "/opt is still there" test -d "$root/opt"
echo "--- per-user registration in the user's home (the user's data, like the settings)"
in_root find /root/.local/share -name 'kivclient*' || true

echo
echo "$failures check(s) failed; logs in $work"
[ "$failures" -eq 0 ]
