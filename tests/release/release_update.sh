#!/usr/bin/env bash
# The Windows update end to end, under Wine:
#   release_update.sh BUILD NEXT_BUILD HOST_BUILD [gtest options]
# publishes the client of NEXT_BUILD (a win32 build of the next version) with HOST_BUILD's
# kelvra-publish and the test release key, serves it on loopback, and runs BUILD's
# release_update_test in BUILD's Wine prefix: BUILD's setup program installs the client per
# user and for all users, and each install updates itself to the served version.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
next=$(cd "$2" && pwd)
host_bin=$(cd "$3" && pwd)/bin
shift 3

next_version=$(sed -n 's/^KELVRA_VERSION:[A-Z]*=//p' "$next/CMakeCache.txt")
work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/www"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >"$work/server.log" 2>&1 &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on 127.0.0.1 port \([0-9]*\).*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/server.log"; echo "the update server did not start" >&2; exit 1; }

"$host_bin/kelvra-publish" --key "$root/tests/keys/release-test.key" --from "$next" \
  --out "$work/www" --host "127.0.0.1:$port"

status=0
KELVRA_WINE_BUILD_DIR=$build KELVRA_TEST_BIN_DIR=$build/bin \
  KELVRA_RELEASE_HOST=127.0.0.1:$port KELVRA_RELEASE_VERSION=$next_version \
  bash "$root/cmake/wine-run.sh" "$build/bin/release_update_test.exe" "$@" || status=$?
# What the update server was asked for, for a failed run.
[ "$status" -eq 0 ] || cat "$work/server.log"
exit "$status"
