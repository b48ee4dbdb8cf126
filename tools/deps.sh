#!/usr/bin/env bash
# Installs the Debian 12 packages Varnello needs to build, test and run.
set -euo pipefail
# dbus-daemon: the D-Bus tests start a bus of their own; iproute2: the loopback-only test brings
# up "lo" in a network namespace of its own; libxcb1-dev: the window manager's close of a window
# that a sheet blocks is read off the X connection; libxkbcommon-x11-dev: a key behind a sheet is
# read in the layout in use; x11-xkb-utils: a test changes the layout as a desktop does; openbox:
# where a node's sheet leaves the keyboard depends on the window manager's rules.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6dbus6 libqt6network6 libcanberra-dev
          libxcb1-dev libxkbcommon-x11-dev x11-xkb-utils libbenchmark-dev libssl3 ca-certificates
          libqt6svg6 xvfb xauth fonts-dejavu-core desktop-file-utils appstream libglib2.0-bin
          dbus-daemon iproute2 openbox)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi
