#!/usr/bin/env bash
# The full run of the settings-kill test: 1,000 saves killed at random moments (the suite
# runs 40). Prints how many kills landed during a save; fails on any torn or empty file or
# any temporary file left after the next save.
# Usage: bench/settings_kill/run.sh [BUILD_DIR] [RUNS]   (default build/linux, 1000)
set -euo pipefail
build=${1:-build/linux}
KELVRA_SETTINGS_KILL_RUNS=${2:-1000} KELVRA_TEST_BIN_DIR="$build/bin" \
  exec "$build/bin/settings_kill_test"
