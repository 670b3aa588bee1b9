#!/usr/bin/env bash
# Installs the Debian packages whose pictures and sounds the corpus is made of, when any is
# missing (about 80 MB to download). The normal build does not need them.
set -euo pipefail

packages=(
    tuxpaint-data       # photographs (templates), screenshots with text (manual), cartoons
    mate-backgrounds    # photographs (nature)
    tango-icon-theme    # icons at 16, 22, 24 and 32 pixels
    lxde-icon-theme     # icons of another style, 16 to 96 pixels
    pingus-data         # sprites and animation strips
    lbreakout2-data     # sprites and tiled backgrounds
    kobodeluxe-data     # sprites
    tecnoballz-data     # sprite atlases and tiles
    ceferino-data       # sprites, drawn backgrounds
    espeak-ng           # speech for the audio filler
    fonts-dejavu-core   # text of the drawn screenshots
    gzip xz-utils       # compressed filler
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing the corpus's picture packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
