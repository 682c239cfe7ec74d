#!/usr/bin/env bash
# The Linux package, checked as a school's machine meets it: the validators pass over it,
# then in a fresh Debian 12 root (debootstrap minbase, from the mirror apt uses on this
# machine) `apt-get install ./kelvraedu_*.deb` pulls in every dependency, and the installed
# client, started there under Xvfb against the demo platform, shows the login page.
# Given the build tree of a newer version as well, it then publishes that version into signed
# apt repositories served on loopback and upgrades through the package's own apt source.
# Usage: deb_install.sh <linux build dir> [<linux build dir of a newer version>]
#        (each with its package already made in <build>/package)
# Everything it makes stays in <build>/package-test: validator reports, the root, the demo
# platform's request log and a screenshot of the login page.
set -euo pipefail
build=$(cd "${1:?usage: deb_install.sh <build dir>}" && pwd)
next=
[ -n "${2:-}" ] && next=$(cd "$2" && pwd)
bin=$build/bin
out=$build/package-test
debs=("$build"/package/kelvraedu_*_amd64.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "no package in $build/package" >&2; exit 1; }
start=$SECONDS

root=$out/root
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for m in proc dev/pts dev tmp/.X11-unix; do
    mountpoint -q "$root/$m" 2>/dev/null && umount -l "$root/$m"
  done
  return 0
}
trap cleanup EXIT
cleanup
rm -rf --one-file-system "$out"
mkdir -p "$out/files"

# --- validators --------------------------------------------------------------------------
dpkg-deb -x "$deb" "$out/files"
status=0
desktop-file-validate "$out"/files/usr/share/applications/*.desktop >"$out/desktop-file-validate.txt" 2>&1 || status=1
appstreamcli validate --no-net "$out"/files/usr/share/metainfo/*.metainfo.xml >"$out/appstreamcli.txt" 2>&1 || status=1
lintian --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1 || true
grep -qE '^[EW]: ' "$out/lintian.txt" && status=1
for report in desktop-file-validate appstreamcli lintian; do
  echo "--- $report"; cat "$out/$report.txt"
done
[ $status -eq 0 ] || { echo "the package fails its validators" >&2; exit 1; }

# --- a fresh Debian 12 root from this machine's mirror -------------------------------------
mirror=$(awk '/^URIs:/ { uri = $2 } /^Suites:/ && / bookworm( |$)/ { print uri; exit }' \
  /etc/apt/sources.list.d/debian.sources 2>/dev/null)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list)
[ -n "$mirror" ] || { echo "no bookworm mirror in the apt sources" >&2; exit 1; }
echo "=== debootstrap bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$out/debootstrap.log" 2>&1 ||
  { tail -20 "$out/debootstrap.log"; exit 1; }
# The same suites (updates, security) as this machine.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
echo "=== apt-get install ./$(basename "$deb")"
in_root apt-get update -q >"$out/apt.log" 2>&1 || { tail -20 "$out/apt.log"; exit 1; }
if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "./tmp/$(basename "$deb")" >>"$out/apt.log" 2>&1; then
  tail -30 "$out/apt.log"; exit 1
fi
grep -E '^(Need to get|After this operation)' "$out/apt.log" || true
echo "installed in $((SECONDS - start)) s"

# --- the installed client against the demo platform ---------------------------------------
"$bin/kelvra-demo-site" --port-file "$out/port" --log "$out/requests.log" >"$out/site.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$out/port" ] && break; sleep 0.05; done
[ -s "$out/port" ] || { cat "$out/site.out"; echo "the demo server did not start" >&2; exit 1; }
webroot=127.0.0.1:$(cat "$out/port")

# A display on this machine; the root reaches it through the bound socket folder.
display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  display=:$n
  break
done
[ -n "$display" ] || { echo "no free display" >&2; exit 1; }
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

user=/tmp/user
mkdir -p "$root$user"/{home,config/kelvraeduConfig,cache,data,registry,runtime}
chmod 700 "$root$user/runtime"
settings=$root$user/config/kelvraeduConfig/sysparams.ini
printf '[SYSTEM]\r\nwebroot=%s\r\n' "$webroot" >"$settings"
export DISPLAY=$display
failed=()

# Starts the installed client as a user of the root, waits for its login window to show the
# login page, records what the window manager sees, and ends the client. $1 names the run.
client_shows_login() {
  local run=$1 login= shown=0 client icon
  # The demo server keeps appending to its log: only the lines of this run count.
  local seen
  seen=$(cat "$out/requests.log" 2>/dev/null | wc -l)
  requests() { tail -n +$((seen + 1)) "$out/requests.log" 2>/dev/null; }
  # exec all the way down, so that $! is the client itself and ending it ends the client.
  (exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DISPLAY="$display" HOME=$user/home XDG_CONFIG_HOME=$user/config \
    XDG_CACHE_HOME=$user/cache XDG_DATA_HOME=$user/data XDG_RUNTIME_DIR=$user/runtime \
    KELVRA_REGISTRY_DIR=$user/registry KELVRA_DEMO_UPDATE_HOST="$webroot" NO_AT_BRIDGE=1 \
    sh -c "cd $user && exec kelvraedu") >"$out/client-$run.log" 2>&1 &
  client=$!
  pids+=($client)
  for _ in $(seq 1 600); do
    # Read whole first: an early-ending reader would end xwininfo with SIGPIPE (pipefail).
    login=$(awk '/ 800x500\+/ { print $1; exit }' <<<"$(xwininfo -root -tree 2>/dev/null || true)")
    [ -n "$login" ] && requests | grep -q '^GET /site/login' && break
    kill -0 "$client" 2>/dev/null || break
    sleep 0.1
  done
  for _ in $(seq 1 100); do
    import -window root "$out/login-$run.png"
    if [ "$(convert "$out/login-$run.png" -fill black +opaque '#1F5FA8' -format '%[fx:mean>0]' info:)" = 1 ]; then
      shown=1; break
    fi
    sleep 0.1
  done
  xprop -id "${login:-0}" WM_CLASS >"$out/wm-class.txt" 2>&1 || true
  icon=$(xprop -id "${login:-0}" _NET_WM_ICON 2>/dev/null | head -c 60 || true)
  echo "--- $run: demo platform requests"; requests || true
  echo "--- $run: login window: $(cat "$out/wm-class.txt"); icon: ${icon:-none}"
  requests | grep -q '^GET /site/login' || failed+=("$run: the login page was never requested")
  [ -n "$login" ] || failed+=("$run: no login window")
  [ $shown -eq 1 ] || failed+=("$run: the login page did not paint (see $out/login-$run.png)")
  wm_class=$(sed -n 's/^StartupWMClass=//p' "$out"/files/usr/share/applications/*.desktop)
  grep -q "\"$wm_class\"\$" "$out/wm-class.txt" || failed+=("$run: StartupWMClass $wm_class is not the window's class")
  [[ $icon == *"_NET_WM_ICON(CARDINAL) = "* ]] || failed+=("$run: the login window shows no icon")
  kill "$client" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
  for _ in $(seq 1 100); do
    grep -q ' 800x500+' <<<"$(xwininfo -root -tree 2>/dev/null || true)" || break
    sleep 0.1
  done
}

client_shows_login installed
# Pages get window.external from the web process extension in the program's own folder.
[ -f "$root/usr/libexec/kelvraedu/web-extensions/libkelvraexternal.so" ] ||
  failed+=("the web process extension is not beside the installed program")
[ -f "$root/usr/share/keyrings/kelvraedu-archive-keyring.gpg" ] ||
  failed+=("the package's apt keyring is not installed")
[ -f "$root/etc/apt/sources.list.d/kelvraedu.sources" ] ||
  failed+=("the package's apt source is not installed")
# The client's update hand-off on a package install: the updater says where updates come from
# and changes nothing.
: >"$root$user/updater-dialogs.txt"
in_root env DISPLAY="$display" HOME=$user/home XDG_RUNTIME_DIR=$user/runtime NO_AT_BRIDGE=1 \
  KELVRA_DIALOG_SCRIPT=$user/updater-dialogs.txt /usr/libexec/kelvraedu/updater.exe \
  >"$out/updater.log" 2>&1 && failed+=("the package's updater claimed to update")
grep -q '请通过系统的软件更新获取新版本' "$root$user/updater-dialogs.txt" 2>/dev/null ||
  failed+=("the package's updater did not tell the teacher about the system's software updates")

# --- the next version through the package's own apt source --------------------------------
# Three repositories of the next version are served on loopback: one signed with the key the
# package carries, one signed with another key, and one whose Packages index was changed
# after signing. apt must refuse the last two (the installed version stays) and upgrade from
# the first.
if [ -n "$next" ]; then
  next_debs=("$next"/package/kelvraedu_*_amd64.deb)
  next_version=${next_debs[0]##*/kelvraedu_}; next_version=${next_version%_amd64.deb}
  echo "=== apt-get upgrade to $next_version from a signed repository on loopback"
  keys=$(cd "$(dirname "$0")/../keys" && pwd)
  repos=$out/repos
  mkdir -p "$repos"
  publish() { "$bin/kelvra-publish" --key "$keys/release-test.key" --from "$next" --out "$1" --apt-key "$2" >/dev/null; }
  publish "$repos/good" "$keys/apt-test.asc"
  gnupg=$(mktemp -d)
  GNUPGHOME=$gnupg gpg --batch --quiet --passphrase '' --quick-gen-key "Not the publisher <other@kelvraedu.invalid>" ed25519 sign never
  GNUPGHOME=$gnupg gpg --batch --armor --export-secret-keys >"$out/other-key.asc"
  GNUPGHOME=$gnupg gpgconf --kill all; rm -rf "$gnupg"
  publish "$repos/other-key" "$out/other-key.asc"
  cp -a "$repos/good" "$repos/tampered"
  index=$repos/tampered/apt/dists/stable/main/binary-amd64/Packages
  sed -i '0,/^Maintainer: /s/^Maintainer: ./Maintainer: X/' "$index"
  gzip -9nc "$index" >"$index.gz"

  python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$repos" >"$out/repos.log" 2>&1 &
  pids+=($!)
  port=
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^Serving HTTP on 127.0.0.1 port \([0-9]*\).*/\1/p' "$out/repos.log"); [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { cat "$out/repos.log"; echo "the repository server did not start" >&2; exit 1; }

  source_file=/etc/apt/sources.list.d/kelvraedu.sources
  # Only the package's own source, so nothing else in the root is fetched or upgraded.
  own_source=(-o "Dir::Etc::SourceList=$source_file" -o Dir::Etc::SourceParts=- -o APT::Get::List-Cleanup=0)
  installed_version() { in_root dpkg-query -W -f='${Version}' kelvraedu; }
  settings_before=$(sha256sum <"$settings")
  try_upgrade() {  # $1: repository; the source is edited as an administrator would
    sed -i "s|^URIs: .*|URIs: http://127.0.0.1:$port/$1/apt/|" "$root$source_file"
    in_root apt-get update -q "${own_source[@]}" >"$out/apt-$1.log" 2>&1 || true
    in_root env DEBIAN_FRONTEND=noninteractive apt-get upgrade -y -q "${own_source[@]}" \
      >>"$out/apt-$1.log" 2>&1 || true
  }
  base_version=${deb##*/kelvraedu_}; base_version=${base_version%_amd64.deb}
  for repo in other-key tampered; do
    try_upgrade "$repo"
    [ "$(installed_version)" = "$base_version" ] || failed+=("apt upgraded from the $repo repository")
    grep -qE 'NO_PUBKEY|not signed|Hash Sum mismatch|File has unexpected size' "$out/apt-$repo.log" ||
      failed+=("apt did not report the $repo repository as refused (see $out/apt-$repo.log)")
  done
  try_upgrade good
  grep -E '^(Get|Err|W|E):' "$out/apt-good.log" || true
  [ "$(installed_version)" = "$next_version" ] ||
    failed+=("apt-get upgrade did not install $next_version (see $out/apt-good.log)")
  client_shows_login upgraded
  [ "$(sha256sum <"$settings")" = "$settings_before" ] || failed+=("the upgrade changed the user's settings")

  # The source is a conffile: removal keeps the administrator's edit, purge removes it.
  in_root apt-get remove -y -q kelvraedu >"$out/apt-remove.log" 2>&1 || failed+=("apt-get remove failed")
  grep -q "127.0.0.1:$port/good/apt/" "$root$source_file" 2>/dev/null ||
    failed+=("apt-get remove did not keep the edited source")
  in_root apt-get purge -y -q kelvraedu >"$out/apt-purge.log" 2>&1 || failed+=("apt-get purge failed")
  [ ! -e "$root$source_file" ] || failed+=("apt-get purge left the source")
  [ ! -e "$root/usr/share/keyrings/kelvraedu-archive-keyring.gpg" ] || failed+=("apt-get purge left the keyring")
fi
echo "package test: $((SECONDS - start)) s; screenshots $out/login-*.png"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"; tail -20 "$out"/client-*.log; exit 1
fi
echo "The package installs on Debian 12 and its client shows the login page."
