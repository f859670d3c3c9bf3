#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12 packages; quick when they
# are present) and builds everything into build/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  nlohmann-json3-dev libssl-dev libcurl4-openssl-dev libasio-dev
  squid dante-server microsocks tinyproxy python3 python3-twisted socat openssl passwd util-linux
  freerdp2-dev freerdp2-x11 winpr-utils qt6-base-dev
  libxcb1-dev libxcb-shape0 xvfb openbox tint2 x11-utils x11-xserver-utils xdotool imagemagick wmctrl xcompmgr fonts-noto-cjk
  xdg-utils desktop-file-utils shared-mime-info xrdp tigervnc-standalone-server
  libopencc-dev fcitx5 fcitx5-pinyin fcitx5-frontend-qt6 dbus-daemon dbus-bin
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

JOBS="${JOBS:-2}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
