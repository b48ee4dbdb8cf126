#!/usr/bin/env bash
# Builds Varnello in Release and writes the release tarball the update check downloads,
# build/package/varnello-linux-<arch>.tar.gz (or the file name of -DVARNELLO_UPDATE_TARBALL),
# laid out as varnello/bin/varnello with the desktop entry, the icons and the AppStream file under
# varnello/share; its desktop entry starts the program by name, since the tarball may be unpacked
# anywhere. Prints the sha256= line the version file must carry. Extra arguments go to CMake:
# give the same maker's services as the release build (-DVARNELLO_UPDATE_SITE=https://... and so
# on). The same sources and compiler give the same tarball, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELLO_TESTS=OFF \
  -DVARNELLO_DESKTOP_EXEC_BY_NAME=ON "$@" >/dev/null
cmake --build "$build" --parallel "${JOBS:-$(nproc)}" --target varnello

stage="$build/stage"
rm -rf "$stage"
cmake --install "$build" --prefix "$PWD/$stage/varnello" --strip >/dev/null

case "$(uname -m)" in
  aarch64 | arm64) arch=arm64 ;;
  *) arch=$(uname -m) ;;
esac
name="varnello-linux-$arch.tar.gz"
configured=$(sed -n 's/^VARNELLO_UPDATE_TARBALL:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$configured" ] && name=${configured##*/}
out="$build/$name"

# File times and owners from the last commit, not from this machine and this hour.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -cf - varnello |
  gzip -9 -n >"$out.tmp"
mv "$out.tmp" "$out"
echo "tarball: $out"
echo "sha256=$(sha256sum "$out" | cut -d' ' -f1)"
