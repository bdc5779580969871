#!/bin/bash
# Runs one benchmark program of BUILD_DIR/bin in the benchmarks' Wine state; on its own the state
# is this script's to take down, under bench/run.sh it is shared.
#   bench/run_program.sh BUILD_DIR PROGRAM.exe
set -eu
build=$(cd "${1:?usage: run_program.sh BUILD_DIR PROGRAM}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench=$here/../tools/winebench.sh
state=$build/bench-wine
if ! kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    trap '"$bench" "$state" stop' EXIT
fi
"$bench" "$state" start >/dev/null
"$bench" "$state" run "$build/bin/$2"
