#!/usr/bin/env bash
# Builds both clients and runs every test suite: the Linux build, the Windows build under
# Wine, and the fuzz smoke runs. Exits non-zero when any suite fails or is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

jobs=${KELVRA_JOBS:-$(nproc)}
failed=()
tested=""
trap 'for d in build/win32 build/win64; do bash cmake/wine-stop.sh $d >/dev/null 2>&1; done' EXIT

# The shipping Windows build is 32-bit. Where the kernel cannot start 32-bit programs,
# install-deps.sh has QEMU's i386 emulator start them; where even that cannot be set up, it
# is still built, and the Windows tests run on the same code built for 64-bit under wine64.
# With 32-bit Wine the 64-bit build runs the same suites afterwards, to keep it 64-bit clean.
win_presets="win32 win64"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "=== 32-bit programs cannot start here: Windows tests run on the 64-bit build"
  win_presets="win32-build-only win64"
else
  echo "=== win32 tests run under $(bash scripts/i386-emulation.sh describe)"
fi
echo "=== win64 tests run under $(/usr/lib/wine/wine64 --version 2>&1) (/usr/lib/wine/wine64)"
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
  tested+=" $preset "
done

# The 32-bit executable in a 64-bit prefix: its class goes to the 32-bit registry view, and
# a 32-bit and a 64-bit client read it (the 32-bit test, with the 64-bit client program).
if [[ $tested == *" win32 "* && $tested == *" win64 "* ]]; then
  echo "=== win32 client in the 64-bit prefix, with 32-bit and 64-bit clients"
  if ! KELVRA_WINE_BUILD_DIR="$PWD/build/win64" KELVRA_TEST_BIN_DIR="$PWD/build/win32/bin" \
    KELVRA_COM_OTHER_CLIENT="$PWD/build/win64/bin/kelvra_com_client.exe" \
    bash cmake/wine-run.sh --win64 build/win32/bin/kelvraedu_com_test.exe; then
    failed+=("win32 client in the 64-bit prefix")
  fi
fi

# The shipping 32-bit build updates itself: its setup program installs the client per user
# and for all users, and each install takes the next version (only its client and updater are
# built, into build/win32-next), published with the host's kelvra-publish and served on loopback.
if [[ $tested == *" win32 "* && $tested == *" linux "* ]]; then
  echo "=== win32: update to the next version"
  win_version=$(sed -n 's/^KELVRA_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
  if ! cmake --preset win32 -B build/win32-next \
         -DKELVRA_VERSION="${win_version%.*}.$((${win_version##*.} + 1))" >/dev/null ||
     ! cmake --build build/win32-next -j "$jobs" --target kelvraedu updater >/dev/null ||
     ! bash tests/release/release_update.sh build/win32 build/win32-next build/linux; then
    failed+=("win32 (update to the next version)")
  fi
fi

# The Linux package: its validators, then an install into a fresh Debian 12 root (debootstrap
# and chroot need root rights).
if [[ " ${KELVRA_PRESETS:-$default_presets} " == *" linux "* ]]; then
  echo "=== linux: package"
  as_root=(); [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  # The next version (last part of the version plus one), built into a tree of its own, is
  # what the package test upgrades to through the package's apt source.
  version=$(sed -n 's/^KELVRA_VERSION:[A-Z]*=//p' build/linux/CMakeCache.txt)
  next_version=${version%.*}.$((${version##*.} + 1))
  if ! cmake --build --preset linux --target package >/dev/null ||
     ! cmake --preset linux -B build/linux-next -DKELVRA_VERSION="$next_version" >/dev/null ||
     ! cmake --build build/linux-next -j "$jobs" --target package >/dev/null ||
     ! "${as_root[@]}" bash tests/package/deb_install.sh build/linux build/linux-next; then
    failed+=("linux (package)")
  fi
fi

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All suites passed."
