#!/usr/bin/env bash
# Runs the Linux client on the bundled demo platform: installs what is missing, builds,
# starts the demo server on 127.0.0.1, points a demo settings file at it and starts the
# client. Everything the client writes (settings, registry, caches) stays in
# build/linux/demo-run; the user's own settings are untouched. Without a display the
# client runs under Xvfb and a screenshot of the login page is saved instead.
#
# KELVRA_DEMO_UPDATE=1: the client updates itself. The next version (the version's last part
# plus one) is built in <build>-next, published with the test release key and served on
# 127.0.0.1 as the update host; the client, its updater and helpers are copied into
# build/linux/demo-run/app (the build tree itself is never updated) and run from there.
# Answer Yes to the update question and watch the updater start the new version. Without a
# display the dialog script answers Yes, a screenshot of the restarted client is saved and
# the version it now has is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
demo_update=${KELVRA_DEMO_UPDATE:-0}
targets=(kelvraedu kelvra-demo-site kelvra-whiteboard)
[ "$demo_update" = 1 ] && targets+=(updater kelvra-publish)
# KELVRA_RUN_BUILD_DIR builds elsewhere than the linux preset's tree (for trying run.sh
# next to another build).
build=${KELVRA_RUN_BUILD_DIR:-}
if [ -n "$build" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target "${targets[@]}"
else
  build=build/linux
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target "${targets[@]}"
fi
build=$(cd "$build" && pwd)
bin=$build/bin
demo=$build/demo-run
rm -rf "$demo"
mkdir -p "$demo"/{home/Documents,config/kelvraeduConfig,cache,data,registry,whiteboard,runtime}
chmod 700 "$demo/runtime"

# The file version an ELF client carries in its note (owner "Kelvra", four 16-bit words).
elf_version() {
  local b
  read -r -a b < <(readelf -n --wide "$1" | sed -n 's/^ *Kelvra .*description data: *//p')
  [ "${#b[@]}" -ge 8 ] || { echo "(no version)"; return; }
  echo "$((16#${b[1]}${b[0]})).$((16#${b[3]}${b[2]})).$((16#${b[5]}${b[4]})).$((16#${b[7]}${b[6]}))"
}

if [ "$demo_update" = 1 ]; then
  version=$(sed -n 's/^KELVRA_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  next_version=${version%.*}.$((${version##*.} + 1))
  next=$build-next
  echo "Building the next version $next_version in $next"
  if [ -n "${KELVRA_RUN_BUILD_DIR:-}" ]; then
    cmake -S . -B "$next" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKELVRA_VERSION="$next_version" >/dev/null
  else
    cmake --preset linux -B "$next" -DKELVRA_VERSION="$next_version" >/dev/null
  fi
  cmake --build "$next" --target kelvraedu updater
  # The client runs from a folder its user can write, with everything an update replaces.
  app=$demo/app
  mkdir -p "$app/web-extensions"
  cp "$bin/kelvraedu" "$bin/updater.exe" "$bin/kusetup.ex_" "$bin/patcher" "$app/"
  cp "$bin/web-extensions/libkelvraexternal.so" "$app/web-extensions/"
  bin_client=$app/kelvraedu
else
  bin_client=$bin/kelvraedu
fi

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
update_host=$webroot
if [ "$demo_update" = 1 ]; then
  # The update server: a static server on the published folder, started first so that the
  # release's addresses can name its port.
  mkdir -p "$demo/update-site"
  python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$demo/update-site" \
    >"$demo/update-site.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do grep -q 'port [0-9]' "$demo/update-site.log" && break; sleep 0.05; done
  update_port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$demo/update-site.log" | head -1)
  [ -n "$update_port" ] || { cat "$demo/update-site.log"; echo "the update server did not start" >&2; exit 1; }
  update_host=127.0.0.1:$update_port
  "$bin/kelvra-publish" --key "$root/tests/keys/release-test.key" --from "$next" \
    --out "$demo/update-site" --host "$update_host"
  echo "Update server: http://$update_host/kelvraeduclient/update.inf offers $next_version" \
    "to the client $(elf_version "$bin_client") in $app"
fi

# The settings file names the demo platform as the web root.
printf '[SYSTEM]\r\nwebroot=%s\r\n' "$webroot" >"$demo/config/kelvraeduConfig/sysparams.ini"
# The demo whiteboard, registered where the client looks for the installed one.
ln -sf "$bin/kelvra-whiteboard" "$demo/whiteboard/Ondrix.exe"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norrix\\Ondrix]\r\n"InstallPath"="%s"\r\n' \
  "$demo/whiteboard" >"$demo/registry/HKEY_LOCAL_MACHINE.reg"

export HOME=$demo/home XDG_CONFIG_HOME=$demo/config XDG_CACHE_HOME=$demo/cache \
  XDG_DATA_HOME=$demo/data XDG_RUNTIME_DIR=$demo/runtime KELVRA_REGISTRY_DIR=$demo/registry \
  KELVRA_WHITEBOARD_RECORD=$demo/whiteboard.log KELVRA_DEMO_UPDATE_HOST=$update_host
unset APPDATA

echo "Demo platform: http://$webroot/site/login (requests in $demo/requests.log)"
if [ "$demo_update" != 1 ]; then
  echo "Sign in with any user name; switch the update offer with:"
  echo "  curl 'http://$webroot/demo/update?offer=newer'"
fi

# The update check keeps its downloads in the working folder.
cd "$demo"
if [ "$demo_update" = 1 ]; then
  # The updater's downloads and the restart program stay in the demo's folder too.
  mkdir -p "$demo/tmp"
  export TMPDIR=$demo/tmp
  echo "Answer Yes to the update question: the client ends, the updater installs" \
    "$next_version and starts it. The update log: $demo/home/Documents/KUPDATE.LOG"
fi
# The processes running the program $1 or a program below the folder $1: here the client,
# its updater and the restart program, whichever of them is running.
cat >"$demo/demo-processes.sh" <<'INNER'
for exe in /proc/[0-9]*/exe; do
  case $(readlink "$exe" 2>/dev/null) in "$1" | "$1"/*) pid=${exe#/proc/}; echo "${pid%/exe}" ;; esac
done
INNER
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/kelvra-whiteboard" >/dev/null 2>&1 &
  pids+=($!)
  "$bin_client"
  if [ "$demo_update" = 1 ]; then
    # After Yes the updater and then the new client run on; the servers stay until they end.
    while [ -n "$(bash "$demo/demo-processes.sh" "$demo")" ]; do sleep 0.5; done
    echo "The client in $app is now $(elf_version "$app/kelvraedu")"
  fi
else
  # No display: run under Xvfb and save a screenshot once the login page is in; with the
  # update, the dialog script answers Yes and the picture shows the restarted client.
  cat >"$demo/headless.sh" <<'INNER'
set -u
client_path=$1 demo=$2 update=$3
logins() { grep -c '^GET /site/login' "$demo/requests.log" 2>/dev/null; }
"$client_path" &
client=$!
picture=$demo/login.png
if [ "$update" = 1 ]; then
  # Yes ends the client; the updater installs the next version and the restart program
  # starts it from the same folder, and it asks for the login page.
  wait "$client"
  seen=$(logins)
  client=
  for _ in $(seq 1 1200); do
    client=$(bash "$demo/demo-processes.sh" "$client_path" | head -1)
    [ -n "$client" ] && [ "$(logins)" -gt "$seen" ] && break
    sleep 0.1
  done
  if [ -z "$client" ] || [ "$(logins)" -le "$seen" ]; then
    echo "the client did not restart after the update" >&2
    cat "$demo/dialogs.txt" "$demo/home/Documents/KUPDATE.LOG" >&2
    exit 1
  fi
  picture=$demo/updated.png
fi
for _ in $(seq 1 200); do [ "$(logins)" -gt 0 ] && break; sleep 0.05; done
for _ in $(seq 1 100); do
  # Read whole first: grep -q ending early would end xwininfo with SIGPIPE (pipefail).
  grep -q '800x500' <<<"$(xwininfo -root -tree 2>/dev/null || true)" && break
  sleep 0.05
done
# The picture is taken once the page has painted its blue header.
for _ in $(seq 1 100); do
  import -window root "$picture"
  blue=$(convert "$picture" -fill black +opaque '#1F5FA8' -format '%[fx:mean>0]' info:)
  [ "$blue" = 1 ] && break
  sleep 0.1
done
kill "$client" 2>/dev/null
if [ "$update" = 1 ]; then
  while kill -0 "$client" 2>/dev/null; do sleep 0.1; done  # not this shell's child
else
  wait "$client" 2>/dev/null
fi
exit 0
INNER
  if [ "$demo_update" = 1 ]; then
    printf 'answer: Yes\n' >"$demo/dialogs.txt"
    KELVRA_DIALOG_SCRIPT=$demo/dialogs.txt xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
      bash "$demo/headless.sh" "$bin_client" "$demo" 1
    echo "No display: the client ran under Xvfb, the dialog script answered Yes; screenshot" \
      "of the restarted client: $demo/updated.png"
    echo "The client in $app is now $(elf_version "$app/kelvraedu")"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
      bash "$demo/headless.sh" "$bin_client" "$demo" 0
    echo "No display: the client ran under Xvfb; screenshot of the login page: $demo/login.png"
  fi
fi
