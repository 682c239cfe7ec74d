#!/usr/bin/env bash
# Ends the wineserver and the Xvfb display that wine-run.sh started for a build tree.
build_dir=${1:?build directory}
state="$build_dir/wine-state"
if [ -d "$build_dir/wineprefix" ]; then
  WINEPREFIX="$build_dir/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
fi
if [ -f "$state/xvfb.pid" ]; then
  kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  rm -f "$state/xvfb.pid" "$state/xvfb.display"
fi
