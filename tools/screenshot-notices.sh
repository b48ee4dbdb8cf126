#!/usr/bin/env bash
# Writes pictures of what the main window says about its settings file into build/screenshots/
# (or the folder given as the first argument): the window maximised on a virtual 1280 x 800 X
# display (Xvfb, with openbox when installed), logged in to a fake node, with
#   settings-save-failure.png  the data folder read-only, so no save succeeds;
#   settings-unreadable.png    a settings.json that is not a settings document;
#   settings-both.png          a damaged settings.json in a read-only folder: no copy of it can be
#                              kept, so it is left as it is and nothing is saved over it;
# each also in Small View (*-small-view.png). The read-only folder is a read-only tmpfs in a
# private mount namespace (unshare), so this also works as root.
# BUILD names a build folder that already has the screenshot programs (default build/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/screenshots}
if [ -z "${BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=ON
  cmake --build "$build" --parallel 3 --target varnello_fake_node varnello_screenshots
fi
bin="$PWD/$build/tools/screenshot"
out=$(realpath -m "${1:-$PWD/build/screenshots}")
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/varnello_fake_node" --kind dxspider --spots-per-minute 120 >"$work/node" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/node" ] && break; sleep 0.1; done
port=$(head -n1 "$work/node")

# One picture: $1 the name, $2 what settings.json holds ("" for a readable one), $3 "ro" for a
# read-only data folder.
picture() {
  local name=$1 content=$2 mode=$3 home="$work/$1"
  local data="$home/.local/share/Varnello"
  mkdir -p "$data" "$home/.config" "$home/.cache"
  cat >"$work/run-$name.sh" <<INNER
set -e
if [ "$mode" = ro ]; then mount -t tmpfs -o size=1m,mode=0700 tmpfs "$data"; fi
if [ -n "$content" ]; then
  printf '%s' "$content" >"$data/settings.json"
else
  printf '%s' '{"schemaVersion":1,"values":{}}' >"$data/settings.json"
fi
if [ "$mode" = ro ]; then mount -o remount,ro "$data"; fi
if command -v openbox >/dev/null; then openbox & sleep 1; fi
"$bin/varnello_screenshots" --node-port "$port" --out "$out" --window-only "$name"
INNER
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" QT_QPA_PLATFORM=xcb \
    unshare -rm xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/run-$name.sh"
}

picture settings-save-failure "" ro
picture settings-unreadable 'this is not a settings document' rw
picture settings-both 'this is not a settings document' ro
echo "pictures in $out"
