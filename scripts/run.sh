#!/usr/bin/env bash
# Builds the Linux client and runs what exists of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target kelvra-settings
exec build/linux/bin/kelvra-settings "$@"
