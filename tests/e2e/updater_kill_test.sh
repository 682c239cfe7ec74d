#!/usr/bin/env bash
# The update killed at random moments: the real updater and restart program update a client
# run from a user-writable folder to a release served on loopback, and SIGKILL ends them
# (every process of the run) at a random moment, half the time measured from the updater's
# start, half from the restart program's. After each kill every release file in the folder is
# whole and either old or new, never the new client beside old files; the client starts and
# reaches its login window; and the next update attempt installs the whole new release.
# Usage: updater_kill_test.sh BIN_DIR SZDD_PACK KEYS_DIR WORK_DIR [KILLS [SEED]]
set -euo pipefail
bin=$(cd "$1" && pwd)
szdd_pack=$2
keys=$(cd "$3" && pwd)
work=$4
kills=${5:-40}
seed=${6:-${KELVRA_KILL_SEED:-$(date +%s)}}
rm -rf --one-file-system "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
. "$(dirname "$0")/update_release_fixture.sh"
echo "seed $seed, $kills kills, $old_version -> $new_version"
RANDOM=$seed

# An uninterrupted update: how long the updater and the restart program take here.
install_old
start=$(date +%s%N)
update_completes || { echo "the update does not complete without kills" >&2; exit 1; }
full_ms=$((($(date +%s%N) - start) / 1000000))
end_folder_processes
echo "an uninterrupted update takes $full_ms ms"

failures=0
declare -A outcomes
for i in $(seq 1 "$kills"); do
  began=$SECONDS
  install_old
  : >"$work/updater-dialogs.txt"
  (cd "$app" && KELVRA_DIALOG_SCRIPT=$work/updater-dialogs.txt exec "$app/updater.exe") \
    >>"$work/updater.log" 2>&1 &
  if ((i % 2)); then
    moment="updater +$((delay = RANDOM % (full_ms + 1))) ms"
  else
    # The restart program's run is short: wait for it, then kill within its first 150 ms.
    for _ in $(seq 1 2400); do
      [ -n "$(running "$TMPDIR/kusetup.exe")$(running "$app/kelvraedu")" ] && break
      sleep 0.005
    done
    moment="restart program +$((delay = RANDOM % 150)) ms"
  fi
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  end_folder_processes
  state=$(folder_state)
  outcome=$state
  [ -n "$(find "$app" -name '*.kunew')" ] && outcome="$state with prepared files"
  outcomes[$outcome]=$((${outcomes[$outcome]:-0} + 1))
  problem=
  if [ "$state" != old ] && [ "$state" != new ]; then
    problem="folder: $state"
  elif ! client_reaches_login /dev/null; then
    problem="the $state client did not reach its login window; its output ends:
$(tail -n 4 "$work/client.log")"
  else
    end_folder_processes
    if ! update_completes; then
      problem="the next update did not complete: $(folder_state); the log ends:
$(tail -n 4 "$user/docs/KUPDATE.LOG")"
    elif [ -n "$(find "$app" -name '*.kunew')" ]; then
      problem="prepared files left after the next update"
    fi
  fi
  end_folder_processes
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "kill $i ($moment): FAILED: $problem"
  else
    echo "kill $i ($moment): $outcome, $((SECONDS - began)) s"
  fi
done
summary=""
for outcome in "${!outcomes[@]}"; do summary+=" $outcome: ${outcomes[$outcome]};"; done
echo "after the kills:$summary $failures of $kills failed (seed $seed)"
[ $failures -eq 0 ]
