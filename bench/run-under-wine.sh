#!/usr/bin/env bash
# Runs one Windows program of a build tree under Wine (32-bit Wine for an i686 tree, wine64
# for an x86-64 one) in that tree's prefix, then stops the tree's Wine server and display.
# Usage: bench/run-under-wine.sh BUILD_DIR PROGRAM [ARGS...]   (the environment passes on)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
program=$2
shift 2
wine_bits=()
grep -q x86_64 "$build/CMakeCache.txt" && wine_bits=(--win64)
cd "$build"
status=0
KELVRA_TEST_BIN_DIR="$build/bin" bash "$here/cmake/wine-run.sh" "${wine_bits[@]}" \
  "$build/bin/$program" "$@" || status=$?
bash "$here/cmake/wine-stop.sh" "$build"
exit $status
