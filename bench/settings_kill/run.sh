#!/usr/bin/env bash
# The full run of the settings-kill test: saves killed at random moments (the suite runs
# 40), beside the file and in a folder that takes no new file. Prints how many kills landed
# during a save; fails on any torn, short or empty file or any temporary file left after the
# next save. A Windows build tree runs it under Wine (TerminateProcess): build/win32 under
# 32-bit Wine, build/win64 under wine64.
# Usage: bench/settings_kill/run.sh [BUILD_DIR] [RUNS]   (default build/linux, 1000)
set -euo pipefail
build=${1:-build/linux}
export KELVRA_SETTINGS_KILL_RUNS=${2:-1000}
if [ -f "$build/bin/settings_kill_test.exe" ]; then
  # The folder that takes no new file, which Wine cannot make (see the test's cmake file).
  locked=$(cd "$build" && pwd)/test-locked
  chattr -i "$locked" 2>/dev/null || true
  rm -rf "$locked" && mkdir -p "$locked" && : >"$locked/sysparams.ini" && chattr +i "$locked"
  trap 'chattr -i "$locked"' EXIT
  export KELVRA_TEST_LOCKED_DIR="Z:${locked//\//\\}"
  bash "$(dirname "$0")/../run-under-wine.sh" "$build" settings_kill_test.exe
  exit
fi
KELVRA_TEST_BIN_DIR="$build/bin" exec "$build/bin/settings_kill_test"
