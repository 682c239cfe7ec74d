#!/usr/bin/env bash
# Lets 32-bit Wine run where the kernel cannot start 32-bit programs: QEMU's i386 user-mode
# emulator, registered with binfmt_misc, starts them instead.
#   i386-emulation.sh setup     set the emulator up when (and only when) 32-bit Wine cannot
#                               start; says why when it cannot, and exits 0 either way
#   i386-emulation.sh describe  one line: which Wine runs 32-bit programs, and how
set -uo pipefail

wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
say() { echo "i386-emulation: $*"; }

wine32_starts() { "$wine32" --version >/dev/null 2>&1; }

# The emulator counts as in use when its handler is registered and enabled.
emulated() { [ -r "$entry" ] && [ "$(head -n1 "$entry")" = enabled ]; }

describe() {
  local version interpreter
  if ! version=$("$wine32" --version 2>/dev/null); then
    echo "32-bit Wine cannot start here"
  elif emulated; then
    interpreter=$(sed -n 's/^interpreter //p' "$entry")
    echo "$version ($wine32), emulated by $("$interpreter" --version | head -n1) ($interpreter)"
  else
    echo "$version ($wine32), native"
  fi
}

if [ "${1:-}" = describe ]; then describe; exit 0; fi
[ "${1:-}" = setup ] || { echo "usage: $0 setup|describe" >&2; exit 2; }

[ -x "$wine32" ] || { say "$wine32 is not installed"; exit 0; }
# KELVRA_EMULATE_I386=1 sets the emulator up even where 32-bit programs start natively, to
# reproduce the emulated runs (the handler then takes every i386 program on this kernel).
if [ -z "${KELVRA_EMULATE_I386:-}" ] && wine32_starts; then exit 0; fi
if [ -n "${KELVRA_EMULATE_I386:-}" ]; then
  say "KELVRA_EMULATE_I386 is set: QEMU's i386 emulator is to start 32-bit programs"
else
  say "32-bit programs cannot start natively here: QEMU's i386 emulator is to start them"
fi

root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! sudo -n true 2>/dev/null; then
    say "32-bit programs cannot start and setting up the emulator needs root: skipped"
    exit 0
  fi
  root=(sudo -n)
fi

# bookworm's QEMU 7.2 cannot run Wine (it loops reserving Wine's address ranges); QEMU 10
# can. Where the release's own is older, the one package comes from the release's
# backports suite on the mirror this machine already uses, pinned so nothing else does.
. /etc/os-release
codename=${VERSION_CODENAME:?}
sources_file=/etc/apt/sources.list.d/kelvra-backports.sources
pin_file=/etc/apt/preferences.d/kelvra-backports
add_backports() {
  local stanza mirror signed
  stanza=$(awk -v s="$codename" 'BEGIN { RS = "" }
    { for (i = 1; i <= NF; i++) if ($i == s && $0 ~ /(^|\n)Suites:/) { print; exit } }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null)
  mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' <<<"$stanza" | head -n1)
  signed=$(grep -m1 '^Signed-By:' <<<"$stanza")
  if [ -z "$mirror" ]; then
    mirror=$(awk -v s="$codename" '$1 == "deb" && $0 ~ " " s " " { for (i = 2; i <= NF; i++)
      if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' /etc/apt/sources.list 2>/dev/null)
  fi
  [ -n "$mirror" ] || { say "no Debian mirror for $codename in the apt sources"; return 1; }
  printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\n%s\n' \
    "$mirror" "$codename" "$signed" | "${root[@]}" tee "$sources_file" >/dev/null
  printf '%s\n' 'Package: qemu-user' "Pin: release n=$codename-backports" 'Pin-Priority: 990' '' \
    'Package: *' "Pin: release n=$codename-backports" 'Pin-Priority: -1' |
    "${root[@]}" tee "$pin_file" >/dev/null
}

installed=$(dpkg-query -W -f='${Status} ${Version}' qemu-user 2>/dev/null)
if [[ $installed != "install ok installed "* ]] ||
  dpkg --compare-versions "${installed##* }" lt 1:10; then
  export DEBIAN_FRONTEND=noninteractive
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: *//p')
  if [ ! -f "$sources_file" ] && dpkg --compare-versions "${candidate:-0}" lt 1:10; then
    add_backports || exit 0
  fi
  [ -f "$sources_file" ] && { "${root[@]}" apt-get update -q || say "package lists incomplete"; }
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: *//p')
  if dpkg --compare-versions "${candidate:-0}" lt 1:10; then
    say "no qemu-user 10 or later (candidate: ${candidate:-none}): 32-bit programs cannot start"
    exit 0
  fi
  say "installing qemu-user $candidate"
  if ! "${root[@]}" apt-get install -y -q --no-install-recommends qemu-user; then
    say "qemu-user could not be installed: 32-bit programs cannot start"
    exit 0
  fi
fi

if [ ! -e "$binfmt/register" ]; then
  "${root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null
  [ -e "$binfmt/register" ] || { say "binfmt_misc cannot be mounted: no emulator"; exit 0; }
fi

# The package's own binfmt entry gives the ELF magic and mask for i386 programs. F (fix
# binary) has the kernel open the emulator once, at registration.
conf=$(dpkg -L qemu-user 2>/dev/null | grep -m1 '/binfmt.d/qemu-i386.conf$')
formats=$(dpkg -L qemu-user 2>/dev/null | grep -m1 '/binfmts/qemu-i386$')
if [ -n "$conf" ]; then
  IFS=: read -r _ _ _ _ magic mask _ _ < <(grep -m1 '^:qemu-i386:' "$conf")
elif [ -n "$formats" ]; then
  magic=$(sed -n 's/^magic //p' "$formats")
  mask=$(sed -n 's/^mask //p' "$formats")
fi
interpreter=$(command -v qemu-i386 || true)
if [ -z "${magic:-}" ] || [ -z "${mask:-}" ] || [ -z "$interpreter" ]; then
  say "qemu-user has no i386 emulator or binfmt entry: no emulator"
  exit 0
fi
if [ -e "$entry" ]; then
  if emulated && grep -qx "interpreter $interpreter" "$entry" && grep -q '^flags: .*F' "$entry"; then
    :
  else
    echo -1 | "${root[@]}" tee "$entry" >/dev/null
  fi
fi
if [ ! -e "$entry" ]; then
  printf ':qemu-i386:M::%s:%s:%s:F' "$magic" "$mask" "$interpreter" |
    "${root[@]}" tee "$binfmt/register" >/dev/null || { say "registering qemu-i386 failed"; exit 0; }
fi

if wine32_starts; then
  say "$(describe)"
else
  say "32-bit Wine still cannot start under $interpreter: Windows tests run on the 64-bit build"
fi
exit 0
