#!/usr/bin/env bash
# Proves that package groups of scripts/deps.sh are enough for a build: configures with only the
# headers, pkg-config files and CMake packages of those groups' packages and their dependencies
# visible, as on a fresh machine that installed just them, then runs the preprocessor over every
# source (every include found), or with --build builds TARGET (slower: a whole build).
#
# Usage: scripts/deps-check.sh [--build TARGET] GROUP... -- CMAKE_CONFIGURE_ARGS...
# Runs as root or in a user namespace: everything else in the development folders is hidden by
# tmpfs mounts in a private mount namespace, so the machine itself is never touched.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"

target=""
if [ "${1:-}" = --build ]; then
    target="$2"
    shift 2
fi
groups=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    groups+=("$1")
    shift
done
[ "${1:-}" = -- ] || { echo "usage: $0 [--build TARGET] GROUP... -- CMAKE_ARGS..." >&2; exit 2; }
shift

mapfile -t wanted < <("$repo/scripts/deps.sh" --list "${groups[@]}")
for p in "${wanted[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || { echo "deps-check: $p is not installed" >&2; exit 2; }
done

work=$(mktemp -d /tmp/nagomi-depcheck.XXXXXX)
trap 'rm -rf "$work"' EXIT

# What a fresh machine would hold: the base system and the groups with everything they depend
# on (no recommends: deps.sh installs without them).
{
    dpkg-query -W -f '${Package} ${Essential} ${Priority}\n' | awk '$2 == "yes" || $3 == "required" {print $1}'
    apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances "${wanted[@]}" | awk '!/^ / && !/^</'
} | sort -u >"$work/packages"

multiarch=$(gcc -dumpmachine)
hidden=(/usr/include "/usr/lib/$multiarch/pkgconfig" "/usr/lib/$multiarch/cmake"
        "/usr/lib/$multiarch/qt6" /usr/lib/qt6 /usr/lib/cmake /usr/share/pkgconfig
        /usr/local/include /usr/local/lib /usr/local/share)
existing=()
for d in "${hidden[@]}"; do
    [ -d "$d" ] && existing+=("$d")
done
pattern=$(printf '%s/|' "${existing[@]}")
pattern="^(${pattern%|})"

# The files those packages own inside the hidden folders.
while read -r p; do
    for list in "/var/lib/dpkg/info/$p.list" "/var/lib/dpkg/info/$p:"*.list; do
        [ -f "$list" ] && cat "$list"
    done
done <"$work/packages" | grep -E "$pattern" | sort -u >"$work/files"
tar -cf "$work/visible.tar" --no-recursion --ignore-failed-read -T "$work/files" 2>/dev/null

echo "deps-check: groups ${groups[*]}: $(wc -l <"$work/packages") packages," \
    "$(wc -l <"$work/files") files visible in ${existing[*]}"

build="$work/build"
inner=$(cat <<'EOS'
set -euo pipefail
mount --make-rprivate /
for d in $HIDDEN; do mount -t tmpfs -o mode=755 nagomi-depcheck "$d"; done
tar -xf "$WORK/visible.tar" -C / --no-overwrite-dir
cmake -S "$REPO" -B "$BUILD" -G Ninja "$@" >"$WORK/configure.log" 2>&1 ||
    { cat "$WORK/configure.log"; exit 1; }
if [ -n "$TARGET" ]; then
    cmake --build "$BUILD" --target "$TARGET" -j "$(nproc)" >"$WORK/build.log" 2>&1 ||
        { tail -n 40 "$WORK/build.log"; exit 1; }
else
    cmake -DBUILD="$BUILD" -P "$REPO/scripts/preprocess-all.cmake"
fi
EOS
)
# The hiding happens in a private mount namespace, which needs the root to be a mount point:
# in a plain chroot it is not, and nothing could be hidden safely.
if ! mountpoint -q /; then
    echo "deps-check: / is not a mount point (a chroot?); bind-mount the root onto itself" \
        "before entering it (mount --bind DIR DIR)" >&2
    exit 1
fi
ns=(unshare --mount)
[ "$(id -u)" -eq 0 ] || ns+=(--map-root-user)
if HIDDEN="${existing[*]}" WORK="$work" REPO="$repo" BUILD="$build" TARGET="$target" \
    "${ns[@]}" bash -c "$inner" bash -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@"; then
    echo "deps-check: ${groups[*]} suffice for: cmake $* and ${target:-every include}"
else
    echo "deps-check: FAIL: ${groups[*]} do not suffice for: cmake $*${target:+ (build of $target)}" >&2
    exit 1
fi
