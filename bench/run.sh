#!/bin/bash
# Runs every benchmark against the given build folder, in its own Wine prefix.
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench=$here/../tools/winebench.sh
state=$build/bench-wine
"$bench" "$state" start >/dev/null
trap '"$bench" "$state" stop' EXIT
"$bench" "$state" run "$build/bin/store_bench.exe"
for extra in "$here"/*/run.sh; do
    [ -x "$extra" ] && "$extra" "$build"
done
