# Sourced by the update end-to-end scripts: a Linux client run from a user-writable folder at
# this build's version, the next version published from the same build (its client carries
# the next version number and every file differs) and served on loopback, and helpers that
# run the real client and updater against them.
# Needs: bin (the build's bin folder), szdd_pack, keys (tests/keys), work (an empty folder).
set -eEuo pipefail

pids=()
fixture_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  end_folder_processes
  return 0
}
trap fixture_cleanup EXIT
# A command that ends the run under set -e says which, since its output may have gone nowhere.
trap 'echo "ended by a failing command at line $LINENO: $BASH_COMMAND" >&2' ERR

app=$work/app          # the application folder the teacher runs the client from
user=$work/user        # the teacher's home, settings and registry
export TMPDIR=$work/tmp  # the updater's staging, so every process of the run is findable
mkdir -p "$TMPDIR" "$user"/{home,config/kelvraeduConfig,cache,data,registry,runtime,docs}
chmod 700 "$user/runtime"

# The release files, as the publisher takes them from a build's bin folder.
release_files=(kelvraedu updater.exe kusetup.ex_ patcher web-extensions/libkelvraexternal.so)

# The old release: this build as it is.
mkdir -p "$work/old/bin/web-extensions"
for f in "${release_files[@]}"; do cp -p "$bin/$f" "$work/old/bin/$f"; done

# The next release: the client's version note one higher, and a mark appended to each
# program (trailing bytes the loader ignores) so that every file differs from the old one.
mkdir -p "$work/new/bin/web-extensions"
for f in kelvraedu updater.exe patcher web-extensions/libkelvraexternal.so; do
  cp -p "$bin/$f" "$work/new/bin/$f"
  printf 'next release' >>"$work/new/bin/$f"
done
cp -p "$bin/kusetup" "$work/kusetup"
printf 'next release' >>"$work/kusetup"
"$szdd_pack" "$work/kusetup" "$work/new/bin/kusetup.ex_" kusetup.exe
versions=$(python3 - "$work/new/bin/kelvraedu" <<'EOF'
import re, struct, sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
# The ELF note: namesz 7, descsz 8, a type, "Kelvra\0" padded, four 16-bit version parts.
m = re.search(rb'\x07\x00\x00\x00\x08\x00\x00\x00....Kelvra\x00\x00', bytes(data), re.S)
if not m:
    sys.exit('no version note in ' + path)
at = m.end()
old = struct.unpack_from('<4H', data, at)
new = old[:3] + (old[3] + 1,)
struct.pack_into('<4H', data, at, *new)
open(path, 'wb').write(data)
print('.'.join(map(str, old)), '.'.join(map(str, new)))
EOF
)
old_version=${versions% *}
new_version=${versions#* }

# One loopback server: the update server's files and, as the web root, pages that do not
# exist (the client's login window requests its page all the same, which proves it started).
mkdir -p "$work/www"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >"$work/server.log" 2>&1 &
pids+=($!)
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/^Serving HTTP on 127.0.0.1 port \([0-9]*\).*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { cat "$work/server.log"; echo "the server did not start" >&2; exit 1; }
host=127.0.0.1:$port
printf 'KELVRA_UPDATE_HOST:STRING=%s\n' "$host" >"$work/new/CMakeCache.txt"
"$bin/kelvra-publish" --key "$keys/release-test.key" --from "$work/new" --out "$work/www" \
  --host "$host" >"$work/publish.log"

settings=$user/config/kelvraeduConfig/sysparams.ini
printf '[SYSTEM]\r\nwebroot=%s\r\n' "$host" >"$settings"

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 150 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=:$n
    break
  done
fi
[ -n "${DISPLAY:-}" ] || { echo "no display" >&2; exit 1; }

# The teacher's environment for every program of the run.
export HOME=$user/home XDG_CONFIG_HOME=$user/config XDG_CACHE_HOME=$user/cache \
  XDG_DATA_HOME=$user/data XDG_RUNTIME_DIR=$user/runtime XDG_DOCUMENTS_DIR=$user/docs \
  KELVRA_REGISTRY_DIR=$user/registry KELVRA_DEMO_UPDATE_HOST=$host NO_AT_BRIDGE=1

# Puts the old release in the application folder, as a teacher unpacked it.
install_old() {
  rm -rf "$app"
  cp -a "$work/old/bin" "$app"
}

# Processes running a program of the work folder (updater, restart program, client): the
# test's own, however they were started. find fails on processes that end while it walks
# /proc; what it found is still right.
folder_processes() {
  { find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$work/*" 2>/dev/null || true; } |
    cut -d/ -f3
}
# Kills them all; again while any is left, since one may just have started another. /proc is
# walked in pid order, so a process forked during a walk with a pid that wrapped below the
# walk's position is missed (its parent may have ended meanwhile): only two empty walks in a
# row mean that none is left.
end_folder_processes() {
  local pid left empty=0
  for _ in $(seq 1 100); do
    left=$(folder_processes)
    if [ -z "$left" ]; then
      empty=$((empty + 1))
      [ $empty -ge 2 ] && return 0
    else
      empty=0
      for pid in $left; do kill -9 "$pid" 2>/dev/null || true; done
    fi
    sleep 0.05
  done
  echo "processes of the work folder did not end: $(folder_processes)" >&2
  return 1
}

# What is in the folder: "old", "new", or a list of what matches neither. Every release file
# must be whole and one of the two; a prepared file of an interrupted run may lie beside.
folder_state() {
  local f rel old=0 new=0 bad=()
  for f in "${release_files[@]}"; do
    if [ ! -f "$app/$f" ]; then bad+=("$f missing")
    elif cmp -s "$app/$f" "$work/old/bin/$f"; then old=$((old + 1))
    elif cmp -s "$app/$f" "$work/new/bin/$f"; then new=$((new + 1))
    else bad+=("$f is neither release's")
    fi
  done
  while IFS= read -r f; do
    rel=${f#"$app"/}
    [[ " ${release_files[*]} " == *" $rel "* || $rel == *.kunew ]] || bad+=("$rel is no release file")
  done < <(find "$app" -type f -o -type l)
  if [ ${#bad[@]} -gt 0 ]; then printf '%s; ' "${bad[@]}"; echo
  elif [ $new -eq 0 ]; then echo old
  elif [ $old -eq 0 ]; then echo new
  # Some files new, the client still old: it starts, and asks for the update again.
  elif cmp -s "$app/kelvraedu" "$work/old/bin/kelvraedu"; then echo old
  else echo "the new client beside old files"
  fi
}

# Starts the folder's client with the dialog answers in $1 (a file; empty answers No) and
# waits until its login window requests the login page: 0 when it did within 60 s.
client_reaches_login() {
  local seen client
  seen=$(wc -l <"$work/server.log")
  (cd "$user/home" && KELVRA_DIALOG_SCRIPT=$1 exec "$app/kelvraedu") >>"$work/client.log" 2>&1 &
  client=$!
  for _ in $(seq 1 600); do
    tail -n +$((seen + 1)) "$work/server.log" | grep -q '"GET /site/login' && return 0
    if ! kill -0 "$client" 2>/dev/null; then
      wait "$client" && echo "the client ended with 0" >>"$work/client.log" ||
        echo "the client ended with $?" >>"$work/client.log"
      return 1
    fi
    sleep 0.1
  done
  echo "the client still runs" >>"$work/client.log"
  return 1
}

# Starts the updater in the background as the client starts it: from its folder, no parameters.
start_updater() {
  (cd "$app" && KELVRA_DIALOG_SCRIPT=$work/updater-dialogs.txt exec "$app/updater.exe") \
    >>"$work/updater.log" 2>&1 &
}

# Runs the updater as the client starts it (from its folder, no parameters) until the
# restart program has started the new client, or the updater has ended without handing over
# (a folder that is new already has nothing to install): 0 when the folder is then all new.
update_completes() {
  start_updater
  local updater=$! quiet=0
  for _ in $(seq 1 1200); do
    [ -n "$(running "$app/kelvraedu")" ] && break
    # Ended, and nothing it started still runs: twice in a row, since a process that starts
    # while /proc is walked can be missed once.
    if [ -z "$(folder_processes)" ] && ! kill -0 "$updater" 2>/dev/null; then
      quiet=$((quiet + 1))
      [ $quiet -ge 2 ] && break
    else
      quiet=0
    fi
    sleep 0.1
  done
  [ "$(folder_state)" = new ]
}

# The pids of processes running the program $1.
running() {
  { find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$1" 2>/dev/null || true; } | cut -d/ -f3
}
