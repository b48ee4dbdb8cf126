#!/usr/bin/env bash
# Installs the build into a temporary prefix as a user would, checks what the desktop needs of it
# (the program, a valid desktop entry, the icons, nothing else), then starts the installed program
# in a throwaway home, has GLib's desktop-entry loader (as GNOME's menu does) start it again from
# its entry with the prefix's bin folder off PATH, and ends it the way the end of a session does:
# SIGTERM, exit status 0.
# Usage: install_check.sh <cmake> <build folder> <desktop id>
set -euo pipefail
cmake=$1
build=$2
id=$3
start_wait_s=240 # a sanitizer build starts slowly on a busy machine
quit_wait_s=120

work=$(mktemp -d)
run=
pid=
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -rf "$work" "$run"
}
trap cleanup EXIT
# The program's socket goes into its runtime folder: the test's own is short enough for it.
run=$(mktemp -d "${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/install-XXXXXX")
fail() {
  echo "FAIL: $*" >&2
  if [ -s "$work/log" ]; then echo "--- program output:" >&2; tail -n 50 "$work/log" >&2; fi
  exit 1
}

# A blank, a quote and a dollar sign, which the entry's Exec must quote and escape.
prefix="$work/my \"radio\" \$apps"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }

sizes=(16 22 24 32 48 64 128 256)
expected=("bin/varnello" "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
          "share/icons/hicolor/scalable/apps/$id.svg")
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$installed" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
  fail "installed files differ from the expected ones:$(echo; echo "$installed")"
entry="$prefix/share/applications/$id.desktop"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
# Exec quoting puts a backslash before " and $; the desktop-file string then doubles it.
# shellcheck disable=SC2016 # the dollar sign is the prefix's own
exec_line='Exec="'"$work"'/my \\"radio\\" \\$apps/bin/varnello"'
for line in "$exec_line" "Icon=$id" "StartupWMClass=Varnello" "Categories=Network;HamRadio;"; do
  grep -qxF "$line" "$entry" || fail "the desktop entry lacks $line"
done
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" ||
  { cat "$work/appstream.log" >&2; fail "the metainfo does not validate"; }
for size in "${sizes[@]}"; do
  # The signature, then the IHDR chunk's width and height (big-endian; their low bytes suffice).
  read -r -a b <<<"$(od -An -tu1 -w24 -N24 "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")"
  [ "${b[*]:1:3} $((b[18] << 8 | b[19]))x$((b[22] << 8 | b[23]))" = "80 78 71 ${size}x$size" ] ||
    fail "the ${size}x$size icon is not a PNG of that size"
done

home="$work/home"
# No desktop services: notifications, sleep events and the session bus stay out of reach.
session=(env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
  XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$run" QT_QPA_PLATFORM=offscreen)
"${session[@]}" "$prefix/bin/varnello" >"$work/log" 2>&1 &
pid=$!

# A child that has ended stays a zombie until it is waited for.
running() { [ -r "/proc/$pid/stat" ] && [ "$(sed 's/^.*) //' "/proc/$pid/stat" | cut -d' ' -f1)" != Z ]; }
for ((i = 0; i < start_wait_s * 5; i++)); do
  grep -q "main window first paint" "$work/log" && break
  running || fail "the installed program ended at start"
  sleep 0.2
done
grep -q "main window first paint" "$work/log" || fail "no first paint in ${start_wait_s} s"

# A menu reads the entry in a session whose PATH may not have the prefix's bin folder yet (Debian
# adds ~/.local/bin at login only when it exists). The copy it starts finds this one and asks it
# to come to the front.
"${session[@]}" PATH=/usr/bin:/bin gio launch "$entry" >"$work/launch.log" 2>&1 ||
  fail "GLib does not start the desktop entry: $(cat "$work/launch.log")"
for ((i = 0; i < start_wait_s * 5; i++)); do
  grep -q "raise requested by another copy" "$work/log" && break
  running || fail "the installed program ended while the desktop entry started it again"
  sleep 0.2
done
grep -q "raise requested by another copy" "$work/log" ||
  fail "the copy started from the desktop entry did not reach the running one in ${start_wait_s} s"
# That copy leaves on its own; it is not this script's child, so it is found by its program file.
others() {
  local p
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" != "$pid" ] && [ "$(readlink "$p/exe" 2>/dev/null)" = "$prefix/bin/varnello" ] &&
      return 0
  done
  return 1
}
for ((i = 0; i < quit_wait_s * 5; i++)); do
  others || break
  sleep 0.2
done
others && fail "the copy started from the desktop entry still runs after ${quit_wait_s} s"

kill -TERM "$pid"
for ((i = 0; i < quit_wait_s * 5; i++)); do
  running || break
  sleep 0.2
done
running && fail "still running ${quit_wait_s} s after SIGTERM"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
echo "installed into a temporary prefix, started (also from the desktop entry) and quit on SIGTERM"
