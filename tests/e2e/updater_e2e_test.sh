#!/usr/bin/env bash
# The Linux client run from a user-writable folder updates itself: its update question is
# answered Yes, the updater beside it fetches the release served on loopback, the restart
# program places it and starts the new client, which finds itself up to date. The settings
# file is unchanged, and a program the release adds (the old folder lacks "patcher") is
# executable. Screenshots of the updater's window are left in the work folder.
# Usage: updater_e2e_test.sh BIN_DIR SZDD_PACK KEYS_DIR WORK_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
szdd_pack=$2
keys=$(cd "$3" && pwd)
work=$4
rm -rf --one-file-system "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
. "$(dirname "$0")/update_release_fixture.sh"
failed=()

install_old
rm "$app/patcher"
settings_before=$(sha256sum <"$settings")
dialogs=$work/dialogs.txt
echo 'answer: Yes' >"$dialogs"
seen=$(wc -l <"$work/server.log")
(cd "$user/home" && KELVRA_DIALOG_SCRIPT=$dialogs exec "$app/kelvraedu") >"$work/client.log" 2>&1 &
first=$!

# The updater's window, while it shows; then the new client's login page request.
shots=0
for _ in $(seq 1 600); do
  # The tree is read whole first: a reader that stops early would end xwininfo with SIGPIPE,
  # and a window closing while it walks makes it fail; either would end this script.
  tree=$(xwininfo -root -tree 2>/dev/null || true)
  window=$(awk '/"Kelvra教学云客户端 更新"/ { print $1; exit }' <<<"$tree")
  if [ -n "$window" ] && [ $shots -lt 3 ]; then
    timeout 5 import -window "$window" "$work/updater-window-$shots.png" 2>/dev/null && shots=$((shots + 1))
  fi
  [ "$(tail -n +$((seen + 1)) "$work/server.log" | grep -c '"GET /site/login')" -ge 2 ] && break
  sleep 0.1
done
log=$(cat "$user"/docs/KUPDATE.LOG 2>/dev/null || true)
kill -0 "$first" 2>/dev/null && failed+=("the old client did not end for the update")
[ "$(folder_state)" = new ] || failed+=("the folder is not the new release: $(folder_state)")
[ -n "$(running "$app/kelvraedu")" ] || failed+=("no client runs after the update")
[ "$(tail -n +$((seen + 1)) "$work/server.log" | grep -c '"GET /site/login')" -ge 2 ] ||
  failed+=("the restarted client did not reach its login window")
[[ $log == *"kusetup: Started $app/kelvraedu"* ]] ||
  failed+=("the restart program did not start the client")
[ -x "$app/patcher" ] || failed+=("the added program is not executable")
[ "$(sha256sum <"$settings")" = "$settings_before" ] || failed+=("sysparams.ini changed")
# The old client asked once; the new one read its own version as the release's and asked
# nothing. The updater's boxes (none expected) go to the same file.
questions=$(grep -c '^box: .*是否退出当前运行程序升级' "$dialogs" || true)
[ "$questions" = 1 ] || failed+=("the update question was asked $questions times")
[ "$(grep -c '^box:' "$dialogs")" = 1 ] || failed+=("unexpected boxes: $(grep '^box:' "$dialogs")")
[ $shots -gt 0 ] || failed+=("the updater's window never showed")
echo "--- dialogs"; cat "$dialogs"
echo "--- restart program"; grep 'kusetup:' <<<"$log" || true
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "updated $old_version -> $new_version"
