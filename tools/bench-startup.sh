#!/usr/bin/env bash
# Start-up cost of the real program: Release build, a virtual X display (Xvfb), a throwaway home
# with no settings. For each run: the time from the start to the main window's first paint (the
# program logs it, counted from its own start: the loading of its libraries before that is not
# counted) and the resident memory 2 s after the start.
# Not part of the tests. RUNS=<n> sets the number of runs (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build/bench-startup -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=OFF >/dev/null
cmake --build build/bench-startup --parallel 3 --target varnello
bin="$PWD/build/bench-startup/src/app/varnello"
runs=${RUNS:-5}

display_number=$((200 + RANDOM % 500))
Xvfb ":$display_number" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
work=$(mktemp -d)
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.1; done

for run in $(seq "$runs"); do
  home="$work/home$run"
  log="$work/log$run"
  mkdir -p "$home"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" DISPLAY=":$display_number" QT_QPA_PLATFORM=xcb \
    "$bin" 2>"$log" &
  pid=$!
  for _ in $(seq 100); do grep -q "first paint at" "$log" && break; sleep 0.05; done
  # Before the 5 s data-file check, so nothing reaches the network.
  sleep 2
  rss_kb=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  paint=$(grep -o 'first paint at [0-9]*' "$log" | grep -o '[0-9]*$' || true)
  if [ -z "$paint" ]; then
    echo "run $run: no first paint logged"
    cat "$log"
    exit 1
  fi
  awk -v run="$run" -v ms="$paint" -v kb="$rss_kb" \
    'BEGIN { printf "run %d: start to first paint %d ms, resident memory %.1f MB\n", run, ms, kb / 1024 }'
done
