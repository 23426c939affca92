#!/usr/bin/env bash
# Runs the README's two commands as a newcomer would: in a bare Debian 12
# root made with debootstrap, from a fresh clone of this repository, with an
# empty Qt cache and nothing installed but what Debian installs itself.
# The first command must start the window, which is looked for under Xvfb
# and closed with its Exit button; the second must pass. Prints each
# command's time and result, and exits 1 if either failed. As root:
#   bash tools/fresh-machine.sh [--start-only] [FOLDER]
# --start-only runs the first command alone, a quick check of a change to
# what the window needs.
# FOLDER (default: a new one under /var/tmp) takes the root, about 15 GB
# once Qt for Windows is built in it; it is left there for a look inside,
# and removed with `rm -rf --one-file-system FOLDER` once nothing is mounted.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine: run it as root: it mounts and chroots" >&2; exit 1; }
ensure_packages debootstrap debian-archive-keyring git xvfb openbox xdotool imagemagick
start_only=0
if [ "${1:-}" = --start-only ]; then
    start_only=1
    shift
fi

codename=bookworm
root=${1:-$(mktemp -d /var/tmp/morvane-fresh-XXXXXX)}
root=$(realpath "$root")
mkdir -p "$root"
report=$root.report
# The mirror this machine reaches Debian through, as apt is set up here.
mirror=$(debian_entries | awk -v codename="$codename" '$NF != "" {
    for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($(i + 1) == codename) { print $i; exit } } }')
mirror=${mirror:-http://deb.debian.org/debian}

mounted=()
display=
cleanup() {
    local at
    [ -n "$display" ] && pkill -f "Xvfb :$display" 2>/dev/null || true
    for ((at = ${#mounted[@]} - 1; at >= 0; at--)); do
        umount -R "${mounted[at]}" 2>/dev/null || umount -R -l "${mounted[at]}" || true
    done
}
trap cleanup EXIT

say() { printf '%s\n' "$*" | tee -a "$report"; }
: > "$report"
say "fresh-machine: Debian $codename from $mirror into $root"

start=$SECONDS
if [ ! -x "$root/usr/bin/apt-get" ]; then
    debootstrap --keyring=/usr/share/keyrings/debian-archive-keyring.gpg "$codename" "$root" "$mirror" \
        > "$root.debootstrap.log" 2>&1 || { say "debootstrap failed: see $root.debootstrap.log"; exit 1; }
fi
say "made the root in $((SECONDS - start)) s"

# Network and apt's own ways out as this machine has them; no service
# starts inside the root.
cp /etc/resolv.conf "$root/etc/resolv.conf"
{ grep -lris 'proxy' /etc/apt/apt.conf.d/ 2>/dev/null || true; } | xargs -r cp -t "$root/etc/apt/apt.conf.d/"
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mkdir -p "$root/tmp/.X11-unix"
[ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
for fs in proc sys dev tmp/.X11-unix; do
    case $fs in
        proc) mount -t proc proc "$root/proc" ;;
        sys) mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys" ;;
        dev) mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev" ;;
        *) mount --bind "/$fs" "$root/$fs" ;;
    esac
    mounted+=("$root/$fs")
done

# A fresh clone, as a newcomer has it; the Qt cache is the root's own, empty.
rm -rf "$root/root/morvane" "$root/root/.cache"
git clone --quiet "$(pwd)" "$root/root/morvane"
in_root() {
    chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 DISPLAY=":$display" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "cd /root/morvane && $1"
}

# The window, on a display of this machine's that the root shares.
display=$(for n in $(seq 70 99); do [ -e "/tmp/.X11-unix/X$n" ] || { echo "$n"; break; }; done)
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
sleep 2
DISPLAY=":$display" openbox >/dev/null 2>&1 &

title='AF99 Morvane Part Application 1.1'
start=$SECONDS
in_root 'bash tools/run.sh' > "$root.run.log" 2>&1 &
app=$!
window=
while kill -0 "$app" 2>/dev/null && [ -z "$window" ]; do
    sleep 5
    window=$(DISPLAY=":$display" xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
done
if [ -n "$window" ]; then
    shown=$((SECONDS - start))
    sleep 2
    DISPLAY=":$display" import -window root "$root.window.png" 2>/dev/null || true
    DISPLAY=":$display" xdotool windowactivate --sync "$window" key --clearmodifiers alt+x
    for wait in $(seq 30); do kill -0 "$app" 2>/dev/null || break; sleep 1; done
    kill "$app" 2>/dev/null && run_result="the window showed but Exit did not end it" || true
fi
wait "$app" && status=0 || status=$?
if [ -z "$window" ]; then
    run_result="failed (exit $status) before the window showed: see $root.run.log"
elif [ -z "${run_result:-}" ]; then
    run_result="passed: the main window showed after $shown s, and Exit ended it with status $status"
    [ "$status" -eq 0 ] || run_result="failed: Exit ended it with status $status"
fi
say "bash tools/run.sh: $((SECONDS - start)) s, $run_result"
if [ "$start_only" = 1 ]; then
    [[ $run_result == passed* ]]
    exit
fi

start=$SECONDS
# Each line of its output with the seconds it came at, to time each leg.
in_root 'bash tools/test.sh' 2>&1 | while IFS= read -r line; do printf '%5d %s\n' $((SECONDS - start)) "$line"; done \
    > "$root.test.log" && status=0 || status=$?
elapsed=$((SECONDS - start))
test_result=$([ "$status" -eq 0 ] && echo passed || echo "failed (exit $status): see $root.test.log")
say "bash tools/test.sh: $((elapsed / 60)) min $((elapsed % 60)) s, $test_result"
grep -E '^ *[0-9]+ (== |Building Qt|.*tests passed|try-installer:)' "$root.test.log" | tee -a "$report" || true

[[ $run_result == passed* && $status -eq 0 ]]
