#!/usr/bin/env bash
# The long fuzz campaign: each target runs until it has done RUNS executions (default 10^6)
# on a working copy of its seeds, nice'd, one target at a time. It prints one table row per
# target (executions, seeds, inputs added, coverage) and merges the inputs that add coverage
# into the checked-in seeds (tests/fuzz/corpus/<name>/). Stops at the first crash, leak or
# time-out; the reproducer is left in build/fuzz/campaign/.
# Usage: tests/fuzz/campaign.sh [RUNS] [TARGET...]   (after: cmake --build --preset fuzz)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-1000000}
shift || true
bin=build/fuzz/tests/fuzz
out=build/fuzz/campaign
mkdir -p "$out"
# target:seed folder
all="fuzz_reg_file:reg fuzz_restart_handoff:restart fuzz_szdd:szdd fuzz_cabinet:cabinet
fuzz_update_readers:update_readers fuzz_rich_text:rtf fuzz_ini_reader:ini
fuzz_page_message:page_message"
echo "| Target | Executions | Seeds | Added by merge | cov | ft | Result |"
echo "|---|---|---|---|---|---|---|"
for entry in $all; do
  target=${entry%%:*} seeds=tests/fuzz/corpus/${entry#*:}
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$target"; then continue; fi
  mkdir -p "$seeds"
  work=$out/$target
  rm -rf "$work" && mkdir -p "$work" && cp -r "$seeds/." "$work/"
  before=$(ls "$seeds" | wc -l)
  log=$out/$target.log
  result=clean
  (cd "$out" && nice -n 19 "../../../$bin/$target" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 "$target") >"$log" 2>&1 || result="FAILED (see $log)"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  [ "$result" = clean ] && nice -n 19 "$bin/$target" -merge=1 "$seeds" "$work" >"$out/$target.merge.log" 2>&1
  added=$(( $(ls "$seeds" | wc -l) - before ))
  echo "| $target | ${execs:-?} | $before | $added | ${cov:-?} | ${ft:-?} | $result |"
  [ "$result" = clean ] || exit 1
done
