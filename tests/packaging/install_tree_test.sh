#!/usr/bin/env bash
# `cmake --install` into a scratch root: exactly the expected files, each what its place says it
# is, the tree as a software centre reads it (metainfo, desktop entry and icon found together),
# and every installed program answering --version and --help.
# Usage: install_tree_test.sh BUILD_DIR EXPECTED_FILES VERSION
set -euo pipefail
build=$1
expected=$2
version=$3
source "$(dirname "$0")/installed_checks.sh"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

check_files "$root" "$expected"
check_completions "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate-tree --no-net --strict "$root"
check_programs "$root" "$version"
echo "install tree OK"
