#!/usr/bin/env bash
# Installs the build into a temporary prefix as a user would, checks what the desktop needs of it
# (the program, a valid desktop entry, the icons, nothing else), then starts the installed program
# in a throwaway home, has GLib's desktop-entry loader (as GNOME's menu does) start it again from
# its entry with the prefix's bin folder off PATH, and ends it the way the end of a session does:
# SIGTERM, exit status 0, its socket removed. Every copy it started ends with it, pass or fail.
# Usage: install_check.sh <cmake> <build folder> <desktop id>
set -euo pipefail
cmake=$1
build=$2
id=$3
# A sanitizer build starts slowly on a busy machine, but every wait ends before CTest's time-out
# (600 s), which kills this script without a chance to end what it started.
deadline=$((SECONDS + 540))

work=$(mktemp -d)
# A blank, a quote and a dollar sign, which the entry's Exec must quote and escape.
prefix="$work/my \"radio\" \$apps"
run=
pid=
# The installed program's processes: the copy that GLib starts from the desktop entry is not this
# script's child.
copies() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$prefix/bin/varnello" ] && echo "${p#/proc/}"
  done
  return 0
}
cleanup() {
  local p i
  for p in $(copies); do kill -KILL "$p" 2>/dev/null || true; done
  for ((i = 0; i < 50; i++)); do [ -z "$(copies)" ] && break; sleep 0.1; done
  rm -rf "$work" "$run"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP
# The program's socket goes into its runtime folder: the test's own is short enough for it.
run=$(mktemp -d "${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/install-XXXXXX")
fail() {
  echo "FAIL: $*" >&2
  if [ -s "$work/log" ]; then echo "--- program output:" >&2; tail -n 50 "$work/log" >&2; fi
  exit 1
}

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
# Waits until the command succeeds, failing with the message once the deadline has passed.
within() {
  local late=$1
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$late after $SECONDS s"
    sleep 0.2
  done
}
# The program has written the text; fails with the message when it has ended without.
said() { grep -q "$1" "$work/log" || { running || fail "$2"; return 1; }; }
within "no first paint" said "main window first paint" "the installed program ended at start"

# A menu reads the entry in a session whose PATH may not have the prefix's bin folder yet (Debian
# adds ~/.local/bin at login only when it exists). The copy it starts finds this one, asks it to
# come to the front and leaves.
"${session[@]}" PATH=/usr/bin:/bin gio launch "$entry" >"$work/launch.log" 2>&1 ||
  fail "GLib does not start the desktop entry: $(cat "$work/launch.log")"
within "the copy started from the desktop entry did not reach the running one" said \
  "raise requested by another copy" "the installed program ended while the desktop entry started it"
alone() { [ "$(copies)" = "$pid" ]; }
within "the copy started from the desktop entry still runs" alone

kill -TERM "$pid"
stopped() { ! running; }
within "still running after SIGTERM" stopped
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -z "$(ls -A "$run")" ] || fail "left in its runtime folder: $(ls -A "$run")"
echo "installed into a temporary prefix, started (also from the desktop entry) and quit on SIGTERM"
