#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those dpkg says are missing.
# Usage: scripts/deps.sh GROUP [...]; scripts/deps.sh --list GROUP [...] prints the names.
#   build     configure and build the program (./run)
#   run       what the program needs at run time (./run, the installed program)
#   headless  ./run without a display: a virtual screen, a tray host and screenshots
#   test      the unit, widget, end-to-end and peer tests (./test)
#   bench     the benchmark programs (built with the tests)
#   fuzz      the fuzz preset (clang with libFuzzer)
# scripts/deps-check.sh proves on every ./test that `build` is enough for ./run's build.
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qt6-base-dev libsdl2-dev
       libxcb1-dev libxcb-shape0-dev libice-dev)
run=(fonts-ipafont-gothic fonts-ipafont-mincho qt6-qpa-plugins qt6-translations-l10n)
headless=(xvfb xdotool trayer imagemagick)
test=(libgtest-dev libgmock-dev xvfb xdotool x11-utils trayer imagemagick openbox
      desktop-file-utils pulseaudio pulseaudio-utils sox faketime socat procps iproute2
      dovecot-core dovecot-pop3d dovecot-imapd chrony dbus-daemon dbus-bin util-linux mount
      haskell-gtk-sni-tray-utils
      weston xwayland mutter sway i3-wm grim libsm-dev)
bench=(libbenchmark-dev libpixman-1-dev)
fuzz=(clang libclang-rt-14-dev)

list=0
if [ "${1:-}" = --list ]; then
    list=1
    shift
fi
want=()
for group in "$@"; do
    case "$group" in
        build) want+=("${build[@]}") ;;
        run) want+=("${run[@]}") ;;
        headless) want+=("${headless[@]}") ;;
        test) want+=("${test[@]}") ;;
        bench) want+=("${bench[@]}") ;;
        fuzz) want+=("${fuzz[@]}") ;;
        *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done
if [ "$list" = 1 ]; then
    printf '%s\n' "${want[@]}" | sort -u
    exit 0
fi

missing=()
for p in "${want[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "deps.sh: need root to install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
