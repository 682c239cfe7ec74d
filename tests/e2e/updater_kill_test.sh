#!/usr/bin/env bash
# The update killed at random moments: the real updater and restart program update a client
# run from a user-writable folder to a release served on loopback, and SIGKILL ends them
# (every process of the run) at a random moment, half the time measured from the updater's
# start, half from the start of the restart program's placement (its first prepared file).
# After each kill every release file in the folder is whole and either old or new, never the
# new client beside old files; the client starts and reaches its login window; and the next
# update attempt installs the whole new release.
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

# The restart program is placing the release: a prepared file lies in the folder.
placing() { compgen -G "$app/*.kunew" >/dev/null || compgen -G "$app/*/*.kunew" >/dev/null; }
# Waits for the placement to begin; 1 when it does not within 20 s or the restart program
# (the pids in $1, when known) no longer runs: ended, or it was the copy that became the client.
wait_for_placement() {
  local pid runs until=$((SECONDS + 20))
  while [ $SECONDS -lt $until ]; do
    placing && return 0
    if [ -n "${1:-}" ]; then
      runs=
      for pid in $1; do [ "/proc/$pid/exe" -ef "$TMPDIR/kusetup.exe" ] && runs=1; done
      [ -n "$runs" ] || return 1
    fi
    sleep 0.002
  done
  return 1
}
# "/proc/PID PROGRAM" for each process of the restart program or the folder's client: one
# walk of /proc, which takes tens of milliseconds on a loaded machine.
restart_or_client() {
  { find /proc -mindepth 2 -maxdepth 2 -name exe \( -lname "$TMPDIR/kusetup.exe" \
    -o -lname "$app/kelvraedu" \) -printf '%h %l\n' 2>/dev/null || true; }
}

# Uninterrupted updates: how long the whole takes here, and how long the placement lasts.
install_old
start=$(date +%s%N)
update_completes || { echo "the update does not complete without kills" >&2; exit 1; }
full_ms=$((($(date +%s%N) - start) / 1000000))
end_folder_processes
install_old
start_updater
wait_for_placement || { echo "the update places no prepared file" >&2; exit 1; }
start=$(date +%s%N)
while placing; do sleep 0.001; done
place_ms=$((($(date +%s%N) - start) / 1000000))
for _ in $(seq 1 600); do [ -n "$(running "$app/kelvraedu")" ] && break; sleep 0.05; done
[ "$(folder_state)" = new ] || { echo "the update does not complete without kills" >&2; exit 1; }
end_folder_processes
echo "an uninterrupted update takes $full_ms ms, its placement $place_ms ms"

failures=0
declare -A outcomes
for i in $(seq 1 "$kills"); do
  began=$SECONDS
  install_old
  : >"$work/updater-dialogs.txt"
  start_updater
  victims=$!
  if ((i % 2)); then
    moment="updater +$((delay = RANDOM % (full_ms + 1))) ms"
  else
    # The placement is short, shorter than a walk of /proc: find the restart program first,
    # wait for its placement, and kill it directly within twice the placement's length.
    restart=
    for _ in $(seq 1 2400); do
      found=$(restart_or_client)
      restart=$(sed -n "s|^/proc/\([0-9]*\) $TMPDIR/kusetup.exe\$|\1|p" <<<"$found")
      [ -n "$found" ] && break
      sleep 0.005
    done
    # Found only once the client runs, the placement is over: the kill comes after it.
    [ -n "$restart" ] && { victims+=" $restart"; wait_for_placement "$restart" || true; }
    moment="placement +$((delay = RANDOM % (2 * place_ms + 1))) ms"
  fi
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  # shellcheck disable=SC2086 # a list of pids
  kill -9 $victims 2>/dev/null || true
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
