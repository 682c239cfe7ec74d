#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest.
# The prefix lives in the build tree (created on first use), the wineserver is kept
# alive between test processes, and an Xvfb display is started when none is set.
set -euo pipefail
build_dir=${KELVRA_WINE_BUILD_DIR:-$PWD}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do
  build_dir=$(dirname "$build_dir")
done
state="$build_dir/wine-state"
mkdir -p "$state"
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
# "--win64" runs a 64-bit build of the same code (for kernels that cannot start 32-bit
# programs); the default is the shipping 32-bit build.
if [ "${1:-}" = --win64 ]; then
  shift
  export WINEARCH=win64
  loader=/usr/lib/wine/wine64
  server=/usr/lib/wine/wineserver64
else
  export WINEARCH=win32
  loader=/usr/lib/wine/wine
  server=/usr/lib/wine/wineserver32
fi
[ -x "$server" ] || server=/usr/lib/wine/wineserver
# Wine maps a few pages at fixed addresses (the shared user data at 0x7ffe0000) when a process
# starts. With address-space randomisation a library mapping occasionally lands there first
# and the new process dies before its program runs ("failed to map the shared user data";
# a parent's CreateProcess then fails with error 1359). Wine's processes therefore run with
# randomisation off; the flag is inherited by every process they start.
norandom=()
setarch "$(uname -m)" -R true 2>/dev/null && norandom=(setarch "$(uname -m)" -R)

# Becomes the command with the standard streams only (call it in a subshell). The display,
# the server and Wine's service processes outlive this test: a descriptor they inherited,
# such as the lock of a caller's flock around ctest, would stay held as long as they run.
exec_detached() {
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] && eval "exec $fd>&-"
  done
  exec "$@"
}

if [ -z "${DISPLAY:-}" ]; then
  exec 8>"$state/xvfb.lock"
  flock 8
  if [ -f "$state/xvfb.display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    :
  else
    for n in $(seq 90 140); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      exec_detached Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
      echo $! >"$state/xvfb.pid"
      echo ":$n" >"$state/xvfb.display"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    done
  fi
  DISPLAY=$(cat "$state/xvfb.display")
  export DISPLAY
  flock -u 8
  exec 8>&-
fi

exec 9>"$state/prefix.lock"
flock 9
if [ ! -f "$WINEPREFIX/.kelvra-ready" ]; then
  # No Mono or Gecko packages here: keep wineboot from asking for them.
  WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d" "${norandom[@]}" "$loader" wineboot -i >/dev/null 2>&1 || true
  "$server" -w
  touch "$WINEPREFIX/.kelvra-ready"
fi
# Windows links its UI fonts to a CJK font, so Chinese captions draw in Tahoma's place; the
# prefix has none of its own. Wine links Tahoma and the dialog fonts to SimSun (among others)
# under every code page, but rewrites the link lists of the registry whenever a process runs
# under another code page than the last one, so links set there do not last. Debian's
# WenQuanYi Micro Hei therefore goes into the font folder and stands in for SimSun through
# Wine's font replacements, which no code page change touches.
cjk_font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
if [ ! -f "$WINEPREFIX/.kelvra-cjk-replacement" ] && [ -f "$cjk_font" ]; then
  ln -sf "$cjk_font" "$WINEPREFIX/drive_c/windows/Fonts/wqy-microhei.ttc"
  "${norandom[@]}" "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v SimSun /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  touch "$WINEPREFIX/.kelvra-cjk-replacement"
fi
# A persistent server makes every later test process start fast.
(exec_detached "$server" -p >/dev/null 2>&1 </dev/null) || true
# Start Wine's own service processes from here with no terminal attached: started by the
# test program they would inherit CTest's output pipes and keep CTest waiting.
(exec_detached "${norandom[@]}" "$loader" wineboot >/dev/null 2>&1 </dev/null) || true
flock -u 9
exec 9>&-
exec "${norandom[@]}" "$loader" "$@"
