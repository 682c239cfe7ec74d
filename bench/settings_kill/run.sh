#!/usr/bin/env bash
# The full run of the settings-kill test: saves killed at random moments (the suite runs
# 40). Prints how many kills landed during a save; fails on any torn or empty file or any
# temporary file left after the next save. A Windows build tree runs it under Wine
# (TerminateProcess): build/win32 under 32-bit Wine, build/win64 under wine64.
# Usage: bench/settings_kill/run.sh [BUILD_DIR] [RUNS]   (default build/linux, 1000)
set -euo pipefail
build=${1:-build/linux}
export KELVRA_SETTINGS_KILL_RUNS=${2:-1000}
if [ -f "$build/bin/settings_kill_test.exe" ]; then
  exec bash "$(dirname "$0")/../run-under-wine.sh" "$build" settings_kill_test.exe
fi
KELVRA_TEST_BIN_DIR="$build/bin" exec "$build/bin/settings_kill_test"
