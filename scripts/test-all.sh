#!/usr/bin/env bash
# Builds both clients and runs every test suite: the Linux build, the Windows build under
# Wine, and the fuzz smoke runs. Exits non-zero when any suite fails or is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=${KELVRA_JOBS:-$(nproc)}
failed=()
trap 'for d in build/win32 build/win64; do bash cmake/wine-stop.sh $d >/dev/null 2>&1; done' EXIT

# The shipping Windows build is 32-bit. Where the kernel cannot start 32-bit programs, it is
# still built, and the Windows tests run on the same code built for 64-bit under wine64.
win_presets="win32"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "=== 32-bit programs cannot start here: Windows tests run on the 64-bit build"
  win_presets="win32-build-only win64"
fi
default_presets="linux $win_presets"
[ -f tests/fuzz/CMakeLists.txt ] && default_presets="$default_presets fuzz"
# The Linux suites that do not load WebKit's processes, under ASan, UBSan and LSan.
default_presets="$default_presets sanitize"
for entry in ${KELVRA_PRESETS:-$default_presets}; do
  preset=${entry%-build-only}
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >"build-$preset.configure.log" 2>&1; then
    cat "build-$preset.configure.log"; failed+=("$preset (configure)"); continue
  fi
  rm -f "build-$preset.configure.log"
  if ! cmake --build --preset "$preset" -j "$jobs"; then failed+=("$preset (build)"); continue; fi
  [ "$entry" != "$preset" ] && continue

  # Every suite listed for the preset must be registered with CTest.
  expected="tests/suites-${preset/win64/win32}.txt"
  registered=$(ctest --preset "$preset" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p')
  while read -r suite; do
    [ -z "$suite" ] && continue
    if ! grep -qx "$suite" <<<"$registered"; then failed+=("$preset: suite $suite missing"); fi
  done < <(grep -v '^#' "$expected" 2>/dev/null)

  echo "=== $preset: test"
  runner=()
  # Linux tests that open windows need a display; the Wine runner starts its own.
  if [[ $preset == linux || $preset == sanitize ]] && [ -z "${DISPLAY:-}" ]; then
    runner=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")
  fi
  if ! "${runner[@]}" ctest --preset "$preset" -j "$jobs"; then failed+=("$preset (tests)"); fi
done

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All suites passed."
