#!/usr/bin/env bash
# Writes pictures of the main window (logged in with spots, the console, the popovers and sheets,
# a node warning sheet) into build/screenshots/: the program's window on a virtual 1280 x 800 X
# display (Xvfb), with a throwaway home folder, logged in to fake DX cluster nodes on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/screenshots -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=ON
cmake --build build/screenshots --parallel 3 --target varnello_fake_node varnello_screenshots
bin=build/screenshots/tools/screenshot
out="$PWD/build/screenshots"
mkdir -p "$out"

home=$(mktemp -d)
node_out=$(mktemp)
ccc_out=$(mktemp)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$home" "$node_out" "$ccc_out"
}
trap cleanup EXIT

"$bin/varnello_fake_node" --kind dxspider --spots-per-minute 60 >"$node_out" &
pids+=($!)
"$bin/varnello_fake_node" --kind ccc >"$ccc_out" &
pids+=($!)
for f in "$node_out" "$ccc_out"; do
  for _ in $(seq 50); do [ -s "$f" ] && break; sleep 0.1; done
done
node_port=$(head -n1 "$node_out")
ccc_port=$(head -n1 "$ccc_out")

HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$bin/varnello_screenshots" --node-port "$node_port" --ccc-port "$ccc_port" --out "$out"
echo "pictures in $out"
