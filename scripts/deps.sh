#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those dpkg says are missing.
# Usage: scripts/deps.sh build|run|test|bench [...]
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins
       libsdl2-mixer-dev libxcb1-dev libxcb-shape0-dev libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev)
run=(fonts-ipafont-gothic fonts-ipafont-mincho xvfb x11-utils xdotool trayer imagemagick)
test=(xvfb xdotool x11-utils trayer imagemagick libxcb-shape0-dev libxcb1-dev
      pulseaudio pulseaudio-utils sox socat procps iproute2 dovecot-core dovecot-pop3d chrony)
bench=(libpixman-1-dev)

want=()
for group in "$@"; do
    case "$group" in
        build) want+=("${build[@]}") ;;
        run) want+=("${run[@]}") ;;
        test) want+=("${test[@]}" "${bench[@]}") ;;
        bench) want+=("${bench[@]}") ;;
        *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done

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
