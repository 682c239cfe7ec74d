#!/usr/bin/env bash
# The automation server under the full load: four outside client programs at once, each
# creating, calling and releasing the class 500 times against one automation-mode server
# (the suite runs fewer rounds). Prints the server's handle count, private bytes and working
# set after the run as ratios to the figures after a warm-up round of a fifth as many, and
# fails when a call goes unanswered, the handle count grows by more than 5% or the server
# does not end by itself once the last object is released.
# Usage: bench/com_load/run.sh [BUILD_DIR] [ROUNDS]   (default build/win32, 500)
set -euo pipefail
KELVRA_COM_LOAD_CALLS=${2:-500} exec bash "$(dirname "$0")/../run-under-wine.sh" \
  "${1:-build/win32}" kelvraedu_com_load_test.exe
