#!/usr/bin/env bash
# Ends the wineserver and the Xvfb display that wine-run.sh started for a build tree.
# Wine takes an absolute prefix path only.
build_dir=$(realpath -m "${1:?build directory}")
state="$build_dir/wine-state"
# A server only takes the end request from a server program of its own bitness.
if [ -d "$build_dir/wineprefix" ]; then
  for server in /usr/lib/wine/wineserver32 /usr/lib/wine/wineserver64; do
    [ -x "$server" ] && WINEPREFIX="$build_dir/wineprefix" "$server" -k 2>/dev/null
  done
fi
if [ -f "$state/xvfb.pid" ]; then
  kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  rm -f "$state/xvfb.pid" "$state/xvfb.display"
fi
