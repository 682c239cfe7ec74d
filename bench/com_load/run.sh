#!/usr/bin/env bash
# The automation server under the full load: four outside client programs at once, each
# creating, calling and releasing the class 500 times against one automation-mode server
# (the suite runs fewer rounds). Prints the server's handle count, private bytes and working
# set after the run as ratios to the figures after a warm-up round of a fifth as many, and
# fails when a call goes unanswered, the handle count grows by more than 5% or the server
# does not end by itself once the last object is released.
# Usage: bench/com_load/run.sh [BUILD_DIR] [ROUNDS]   (default build/win32, 500)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build/win32}" && pwd)
wine_bits=()
grep -q x86_64 "$build/CMakeCache.txt" && wine_bits=(--win64)
cd "$build"
status=0
KELVRA_COM_LOAD_CALLS=${2:-500} KELVRA_TEST_BIN_DIR="$build/bin" \
  bash "$here/cmake/wine-run.sh" "${wine_bits[@]}" "$build/bin/kelvraedu_com_load_test.exe" ||
  status=$?
bash "$here/cmake/wine-stop.sh" "$build"
exit $status
