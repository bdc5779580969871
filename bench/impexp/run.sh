#!/bin/bash
# Export and Append import of 10,000 custom reminders beside the store reads and saves they need.
#   bench/impexp/run.sh BUILD_DIR
set -eu
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench=$here/../../tools/winebench.sh
state=$build/bench-wine
# Run on its own, the Wine desktop is ours to take down; under bench/run.sh it is shared.
if ! kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    trap '"$bench" "$state" stop' EXIT
fi
"$bench" "$state" start >/dev/null
"$bench" "$state" run "$build/bin/impexp_bench.exe"
