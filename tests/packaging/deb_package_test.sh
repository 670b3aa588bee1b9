#!/usr/bin/env bash
# Builds the Debian package as `make package` does, unpacks it into a scratch root, checks what
# it holds and what it asks for, starts the unpacked viewer on a private Xvfb display and waits
# for its main window, then runs every unpacked program's --version and --help. Every step is
# bounded; the display and the program are stopped on any way out.
# Usage: deb_package_test.sh BUILD_DIR EXPECTED_FILES
set -euo pipefail
build=$1
expected=$2
source "$(dirname "$0")/installed_checks.sh"
title="Ambrel's Pixvue 0.1"
window_wait_seconds=30

work=$(mktemp -d)
xvfb_pid=
app_pid=
# Ends one process we started: politely, then for certain after 5 s.
stop() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    if [ -n "$app_pid" ]; then stop "$app_pid"; fi
    if [ -n "$xvfb_pid" ]; then stop "$xvfb_pid"; fi
    rm -rf "$work"
}
trap cleanup EXIT

# 1. The package, in its own output folder so a concurrent `make package` is not disturbed.
timeout 180 cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "expected one .deb, found: ${debs[*]}"; fi
deb=${debs[0]}
echo "built $(basename "$deb")"

# 2. What the package declares.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pixvue ] || fail "package name is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "architecture is '$(field Architecture)'"
depends=$(field Depends)
depends_names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")  # one name a line, no versions
for lib in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins libstdc++6; do
    grep -Fxq "$lib" <<<"$depends_names" || fail "Depends lacks $lib: $depends"
done
# On a Wayland desktop Qt's own plugin is better than XWayland, but not required.
[ "$(field Recommends)" = qt6-wayland ] || fail "Recommends is '$(field Recommends)'"

# 3. What it holds: exactly the installed files, nothing from the build tree, programs stripped
# and without a library search path of the build's.
dpkg -x "$deb" "$work/root"
check_files "$work/root" "$expected"
check_completions "$work/root"
for program in "$work"/root/usr/bin/*; do
    name=usr/bin/$(basename "$program")
    file -b "$program" | grep -q 'ELF.*, stripped' || fail "$name is not a stripped ELF: $(file -b "$program")"
    if readelf -d "$program" | grep -Eq 'R(UN)?PATH'; then
        fail "$name carries a library search path: $(readelf -d "$program" | grep -E 'R(UN)?PATH')"
    fi
done
program=$work/root/usr/bin/pixvue

# 4. The unpacked program starts and shows its main window on a real X server. Xvfb chooses a
# free display itself (-displayfd), so tests running side by side never collide.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
deadline=$((SECONDS + 10))
while ! grep -q . "$work/display" && [ $SECONDS -lt $deadline ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
    sleep 0.1
done
display=:$(head -n1 "$work/display")
[ "$display" != : ] || fail "Xvfb reported no display within 10 s"
export DISPLAY=$display
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

QT_QPA_PLATFORM=xcb "$program" >"$work/app.log" 2>&1 &
app_pid=$!
window=
deadline=$((SECONDS + window_wait_seconds))
while [ -z "$window" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "pixvue exited before showing its window"; }
    window=$(xdotool search --onlyvisible --name "^${title//./\\.}\$" 2>/dev/null | head -n1 || true)
done
[ -n "$window" ] || { cat "$work/app.log" >&2; fail "no visible window titled \"$title\" within ${window_wait_seconds} s"; }
echo "main window $window on $display"

# The menu entry finds the running program by its window class.
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p')
startup_class=$(sed -n 's/^StartupWMClass=//p' "$work"/root/usr/share/applications/*.desktop)
[ "$wm_class" = "$startup_class" ] ||
    fail "window class '$wm_class' does not match the menu entry's StartupWMClass '$startup_class'"

stop "$app_pid"
app_pid=

# 5. Every program tells the package's version and documents its options.
check_programs "$work/root" "$(field Version)"
echo "package OK"
