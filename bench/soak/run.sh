#!/usr/bin/env bash
# A teacher's whole day on the Linux client (each run on a private Xvfb, against the demo
# platform): 200 popups opened and closed, 20 sign-outs and 20 expired sessions with popups
# open, 500 lessons to the running demo whiteboard, 50 settings-dialog round trips and an
# update check at every sign-in. Prints resident memory (the client and its web processes)
# and web processes after the warm-up and after each phase, as deltas and ratios against
# the warm-up, and the growth per popup and per re-login against their targets (under
# 0.5 MB and 2 MB). The suite runs a tenth of this day (client_soak_test).
# Usage: bench/soak/run.sh [BUILD_DIR] [DIVISOR]   (default build/linux, 1 = the whole day)
set -euo pipefail
build=${1:-build/linux}
KELVRA_SOAK_DIVISOR=${2:-1} KELVRA_TEST_BIN_DIR="$build/bin" \
  exec "$build/bin/client_soak_test"
