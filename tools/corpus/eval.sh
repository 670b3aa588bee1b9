#!/usr/bin/env bash
# Builds the corpus (once per seed, size and source set) and scores the finder on it:
#   eval.sh BUILD_DIR SCAN_PROGRAM SEED SIZE_MB SOURCES [pixvue-eval options...]
# Scan outputs and times go to BUILD_DIR/corpus-scan/.
set -euo pipefail
build=$1 scan=$2 seed=$3 size=$4 sources=$5
shift 5
corpus=$build/corpus
# A new seed, size, corpus maker or list of picture packages builds the corpus anew.
here=$(dirname "$0")
stamp="seed $seed size $size sources $sources maker $(cat "$here/make_corpus.cpp" "$here/../install-deps.sh" | cksum | cut -d' ' -f1)"

if [ ! -f "$corpus/truth.tsv" ] || [ "$(cat "$corpus/stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$corpus"
    echo "Building the corpus ($stamp) into $corpus"
    "$build/pixvue-make-corpus" --seed "$seed" --size-mb "$size" --sources "$sources" --out "$corpus" > "$build/corpus-summary.txt"
    echo "$stamp" > "$corpus/stamp"
fi

[ -x "$scan" ] || { echo "No finder at $scan" >&2; exit 1; }
out=$build/corpus-scan
rm -rf "$out"
mkdir -p "$out"
: > "$out/times.tsv"
for f in "$corpus"/*.bin; do
    name=$(basename "$f")
    start=$(date +%s.%N)
    if ! "$scan" "$f" --json > "$out/$name.json"; then
        echo "The finder failed on $name: left out of the figures" >&2
        rm -f "$out/$name.json"
        continue
    fi
    end=$(date +%s.%N)
    echo -e "$name\t$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" >> "$out/times.tsv"
done
"$build/pixvue-eval" --times "$out/times.tsv" "$@" "$corpus/truth.tsv" "$out"/*.json
