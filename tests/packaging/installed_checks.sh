# Checks shared by the installed tree (cmake --install) and the unpacked Debian package: both must
# hold the same files, each program must answer --version and --help, and every long option a
# program's --help names must be in its man page and, for the command-line tools, its completion.
# Source it, then call check_files ROOT EXPECTED and check_programs ROOT VERSION.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Exactly the expected files, and each of them what its place says it is.
check_files() {
    local root=$1 expected=$2 icon size page name program
    if ! diff -u "$expected" <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); then
        fail "installed files differ from $expected"
    fi
    for icon in "$root"/usr/share/icons/hicolor/*/apps/*.png; do
        size=$(basename "$(dirname "$(dirname "$icon")")")  # e.g. 48x48
        file -b "$icon" | grep -q "^PNG image data, ${size/x/ x }, " ||
            fail "$icon is not a ${size} PNG: $(file -b "$icon")"
    done
    for program in "$root"/usr/bin/*; do
        [ -x "$program" ] || fail "$program is not executable"
        name=$(basename "$program")
        page=$root/usr/share/man/man1/$name.1.gz
        gzip -t "$page" 2>/dev/null || fail "$page is no gzip file"
        zcat "$page" | head -n1 | grep -q "^\.TH ${name^^} 1 " || fail "$page has no title line for $name"
    done
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
        "$root/usr/share/doc/pixvue/copyright" || fail "copyright is not in Debian's format"
    grep -q '^Copyright: 2026 Pixvue developers$' "$root/usr/share/doc/pixvue/copyright" ||
        fail "copyright does not name the Pixvue developers"
    grep -q '<project_license>MIT</project_license>' "$root"/usr/share/metainfo/*.metainfo.xml ||
        fail "the metadata names no project licence"
}

# Runs every installed program without a display: --version tells VERSION, --help succeeds, and
# its long options are documented and completed.
check_programs() {
    local root=$1 version=$2 program name out option page completion
    for program in "$root"/usr/bin/*; do
        name=$(basename "$program")
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 20 \
            "$program" --version 2>&1) || fail "$name --version failed (status $?): $out"
        grep -Fwq "$version" <<<"$out" || fail "$name --version says '$out', not $version"
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 20 \
            "$program" --help 2>&1) || fail "$name --help failed (status $?): $out"
        page=$(zcat "$root/usr/share/man/man1/$name.1.gz" | sed 's/\\-/-/g')
        completion=$root/usr/share/bash-completion/completions/$name
        [ "$name" = pixvue ] || [ -f "$completion" ] || fail "no bash completion for $name"
        # --help-all lists Qt's own options, which belong to Qt's documentation.
        for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$out" | grep -vx -- '--help-all' | sort -u); do
            grep -q -- "$option" <<<"$page" || fail "$name --help names $option, its man page does not"
            if [ -f "$completion" ]; then
                grep -q -- "$option" "$completion" || fail "the completion of $name lacks $option"
            fi
        done
        echo "$name: $(head -n1 <<<"$(env -u DISPLAY QT_QPA_PLATFORM=offscreen "$program" --version 2>&1)")"
    done
}

# Each completion, loaded into bash as bash-completion would load it, completes "--" to options.
check_completions() {
    local root=$1 file
    for file in "$root"/usr/share/bash-completion/completions/*; do
        bash -c '
            source "$1"
            line=$(complete -p "$2") || exit 1
            function=$(sed -n "s/.*-F \([^ ]*\) .*/\1/p" <<<"$line")
            COMP_WORDS=("$2" --); COMP_CWORD=1
            "$function"
            printf "%s\n" "${COMPREPLY[@]}" | grep -qx -- --version' _ "$file" "$(basename "$file")" ||
            fail "the completion $file does not offer --version after --"
    done
}
