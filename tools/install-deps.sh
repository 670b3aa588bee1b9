#!/usr/bin/env bash
# Installs the Debian packages one kind of work needs, when any is missing.
# Usage: tools/install-deps.sh GROUP...   (run, test, bench, fuzz, package, format, corpus)
# `make run` asks only for `run`: building and starting the programs. Each other make target asks
# for `run` and its own group, so a user who only wants to look at pictures never downloads the
# test, benchmark or fuzzing tools.
set -euo pipefail

declare -A groups=(
    # Building and running the viewer and the command-line tools; the xcb platform plugin and a
    # font, which a desktop has but a bare machine may not.
    [run]="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev
           qt6-qpa-plugins fonts-dejavu-core"
    # The tests: GoogleTest, a virtual X server and the tools that drive it, and the checks of
    # the menu entry, the metadata and the package.
    [test]="libgtest-dev libgmock-dev xvfb xauth x11-utils xdotool
            desktop-file-utils appstream dpkg-dev file"
    [bench]="pkg-config libbenchmark-dev libswscale-dev xvfb xauth"
    [fuzz]="clang libclang-rt-14-dev"
    [package]="dpkg-dev file"
    [format]="clang-format"
    # `make eval`: the packages whose pictures and sounds the finder's corpus is made of (about
    # 80 MB): photographs, screenshots with text and cartoons (tuxpaint-data), nature photographs
    # (mate-backgrounds), icons (tango, lxde), sprites and sheets (pingus, lbreakout2, kobodeluxe,
    # tecnoballz, ceferino), speech (espeak-ng), the drawn screenshots' font, compressors.
    [corpus]="tuxpaint-data mate-backgrounds tango-icon-theme lxde-icon-theme pingus-data
              lbreakout2-data kobodeluxe-data tecnoballz-data ceferino-data espeak-ng
              fonts-dejavu-core gzip xz-utils"
)

[ $# -gt 0 ] || { echo "usage: $0 GROUP... (${!groups[*]})" >&2; exit 2; }
packages=()
for group in "$@"; do
    [ -n "${groups[$group]+set}" ] || { echo "$0: no package group '$group'" >&2; exit 2; }
    # shellcheck disable=SC2206  # the lists are plain words
    packages+=(${groups[$group]})
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
# Each package once, in the order asked.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
