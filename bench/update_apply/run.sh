#!/usr/bin/env bash
# Publishes a 20 MB release with kelvra-publish (timed) and applies it with the updater's
# procedure against a plain fetch of the same files: see update_apply.cpp.
# Usage: bench/update_apply/run.sh BUILD_DIR [ROUNDS] [HOST_BUILD_DIR]
#   BUILD_DIR       build/linux, or build/win32 / build/win64 (run under Wine)
#   HOST_BUILD_DIR  the Linux tree holding kelvra-publish (default build/linux)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
rounds=${2:-5}
host_build=$(cd "${3:-$here/build/linux}" && pwd)
publish=$host_build/bin/kelvra-publish
[ -x "$publish" ] || { echo "no $publish: build the linux preset first" >&2; exit 1; }
exe=
[ -f "$build/bin/update_apply.exe" ] && exe=.exe
[ -f "$build/bin/update_apply$exe" ] || { echo "no update_apply in $build/bin" >&2; exit 1; }

strip=strip
if [ "$exe" = .exe ]; then
  strip=i686-w64-mingw32-strip
  grep -q x86_64 "$build/CMakeCache.txt" && strip=x86_64-w64-mingw32-strip
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The next release's build tree: the programs that ride along with the client, without
# their debug information as a release ships them, and the stand-in client, padded with the
# build's own client to make the release 20 MiB.
mkdir -p "$work/next/bin"
echo "KELVRA_UPDATE_HOST:STRING=127.0.0.1" >"$work/next/CMakeCache.txt"
rest=0
for f in updater.exe kusetup.ex_ patcher web-extensions/libkelvraexternal.so; do
  [ -f "$build/bin/$f" ] || continue
  [ "$exe" = .exe ] && [ "$f" != updater.exe ] && continue
  mkdir -p "$(dirname "$work/next/bin/$f")"
  case $f in
    *.ex_) cp "$build/bin/$f" "$work/next/bin/$f" ;;  # packed already
    *) "$strip" --strip-debug -o "$work/next/bin/$f" "$build/bin/$f" ;;
  esac
  rest=$((rest + $(stat -c %s "$work/next/bin/$f")))
done
client=$work/next/bin/kelvraedu$exe
cp "$build/bin/update_apply_client$exe" "$client"
pad=$((20 * 1024 * 1024 - rest - $(stat -c %s "$client")))
while [ "$pad" -gt 0 ]; do
  head -c "$pad" "$build/bin/kelvraedu$exe" >>"$client"
  pad=$((20 * 1024 * 1024 - rest - $(stat -c %s "$client")))
done

# A free loopback port for the release's addresses; the benchmark serves on it.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start=$(date +%s%N)
"$publish" --key "$here/tests/keys/release-test.key" --from "$work/next" --out "$work/release" \
  --host "127.0.0.1:$port" >/dev/null
publish_ms=$((($(date +%s%N) - start) / 1000000))

if [ "$exe" = .exe ]; then
  bash "$here/bench/run-under-wine.sh" "$build" update_apply.exe "$work/release" "$port" \
    "$publish_ms" "$rounds"
else
  "$build/bin/update_apply" "$work/release" "$port" "$publish_ms" "$rounds"
fi
