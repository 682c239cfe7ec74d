#!/usr/bin/env bash
# Installs every Debian package the build, the client and the tests need. Idempotent:
# packages already present are left alone, and nothing is downloaded when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev libcurl4-openssl-dev libmspack-dev libcpp-httplib-dev
  libgcrypt20-dev libgcrypt-mingw-w64-dev libgcab-dev
  xvfb xauth x11-utils imagemagick gcab cabextract bsdiff
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  mingw-w64-i686-dev libwine-dev
  wine wine32:i386 wine64 fonts-wine fonts-wqy-microhei
  xdotool openbox python3
  locales
  nsis librsvg2-bin icoutils desktop-file-utils appstream lintian debootstrap gpg apt-utils
  libxcb1-dev libglib2.0-bin dbus-daemon glib-networking gsettings-desktop-schemas
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  missing=(i386-architecture)
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync fails an index now and then; retry, and go on with the lists
  # that did arrive (the install below fails clearly if a package is still missing).
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -q && break
    echo "install-deps: package lists incomplete (attempt $attempt)"; sleep 5
  done
  if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"; then
    # A security index caught mid-sync for one architecture leaves the amd64 and i386
    # versions of multi-arch libraries out of step. Install from the release suites alone.
    echo "install-deps: retrying with the release suites only"
    lists=$(mktemp -d)
    mkdir -p "$lists/parts" "$lists/state/partial"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$f" >"$lists/parts/$(basename "$f")"
    done
    grep -hv -- '-security' /etc/apt/sources.list >"$lists/sources.list" 2>/dev/null || true
    apt_opts=(-o "Dir::Etc::SourceList=$lists/sources.list" -o "Dir::Etc::SourceParts=$lists/parts"
              -o "Dir::State::Lists=$lists/state")
    "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" update -q
    "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y -q --no-install-recommends "${packages[@]}"
    rm -rf "$lists"
  fi
fi

# The code-page tests under Wine run with a Chinese locale (code page 936).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/; s/^# *\(zh_CN.GBK GBK\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen
fi

# --- 32-bit programs on kernels that cannot start them ------------------------------------
# QEMU's i386 user-mode emulator starts them, so the 32-bit Windows tests run under 32-bit
# Wine. Set up only where needed; where it cannot be, it says why and the Windows tests run
# on the 64-bit build.
bash "$(dirname "$0")/i386-emulation.sh" setup ||
  echo "install-deps: the i386 emulator set-up failed: Windows tests run on the 64-bit build"
