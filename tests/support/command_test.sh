# Shared by the command tests: a temporary folder removed on exit, and `fail MESSAGE`.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
