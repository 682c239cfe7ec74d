#!/usr/bin/env bash
# Runs the Linux client on the bundled demo platform: installs what is missing, builds,
# starts the demo server on 127.0.0.1, points a demo settings file at it and starts the
# client. Everything the client writes (settings, registry, caches) stays in
# build/linux/demo-run; the user's own settings are untouched. Without a display the
# client runs under Xvfb and a screenshot of the login page is saved instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
# KELVRA_RUN_BUILD_DIR builds elsewhere than the linux preset's tree (for trying run.sh
# next to another build).
build=${KELVRA_RUN_BUILD_DIR:-}
if [ -n "$build" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target kelvraedu kelvra-demo-site kelvra-whiteboard
else
  build=build/linux
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target kelvraedu kelvra-demo-site kelvra-whiteboard
fi
build=$(cd "$build" && pwd)
bin=$build/bin
demo=$build/demo-run
rm -rf "$demo"
mkdir -p "$demo"/{home/Documents,config/kelvraeduConfig,cache,data,registry,whiteboard,runtime}
chmod 700 "$demo/runtime"

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

"$bin/kelvra-demo-site" --port-file "$demo/port" --log "$demo/requests.log" \
  >"$demo/site.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$demo/port" ] && break; sleep 0.05; done
[ -s "$demo/port" ] || { cat "$demo/site.out"; echo "the demo server did not start" >&2; exit 1; }
port=$(cat "$demo/port")
webroot="127.0.0.1:$port"

# The settings file names the demo platform as the web root.
printf '[SYSTEM]\r\nwebroot=%s\r\n' "$webroot" >"$demo/config/kelvraeduConfig/sysparams.ini"
# The demo whiteboard, registered where the client looks for the installed one.
ln -sf "$bin/kelvra-whiteboard" "$demo/whiteboard/Ondrix.exe"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norrix\\Ondrix]\r\n"InstallPath"="%s"\r\n' \
  "$demo/whiteboard" >"$demo/registry/HKEY_LOCAL_MACHINE.reg"

export HOME=$demo/home XDG_CONFIG_HOME=$demo/config XDG_CACHE_HOME=$demo/cache \
  XDG_DATA_HOME=$demo/data XDG_RUNTIME_DIR=$demo/runtime KELVRA_REGISTRY_DIR=$demo/registry \
  KELVRA_WHITEBOARD_RECORD=$demo/whiteboard.log KELVRA_DEMO_UPDATER_LOG=$demo/updater.log \
  KELVRA_DEMO_UPDATE_HOST=$webroot
unset APPDATA

echo "Demo platform: http://$webroot/site/login (requests in $demo/requests.log)"
echo "Sign in with any user name; switch the update offer with:"
echo "  curl 'http://$webroot/demo/update?offer=newer'"

# The update check keeps its downloads in the working folder.
cd "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/kelvra-whiteboard" >/dev/null 2>&1 &
  pids+=($!)
  "$bin/kelvraedu"
else
  # No display: run under Xvfb and save a screenshot once the login page is in.
  cat >"$demo/headless.sh" <<'INNER'
set -u
"$1/kelvraedu" &
client=$!
for _ in $(seq 1 200); do grep -q '^GET /site/login' "$2/requests.log" 2>/dev/null && break; sleep 0.05; done
for _ in $(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '800x500' && break; sleep 0.05
done
# The picture is taken once the page has painted its blue header.
for _ in $(seq 1 100); do
  import -window root "$2/login.png"
  blue=$(convert "$2/login.png" -fill black +opaque '#1F5FA8' -format '%[fx:mean>0]' info:)
  [ "$blue" = 1 ] && break
  sleep 0.1
done
kill "$client" 2>/dev/null
wait "$client" 2>/dev/null
exit 0
INNER
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$demo/headless.sh" "$bin" "$demo"
  echo "No display: the client ran under Xvfb; screenshot of the login page: $demo/login.png"
fi
