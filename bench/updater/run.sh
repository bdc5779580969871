#!/bin/bash
# The updater's benchmark: applying a 50 MB update of 20 files against CopyFileW of the same files,
# and the CPU time of an install run while it waits for the first updater to end (a stand-in that
# sleeps 3 s holds the installed updater's place).
#   bench/updater/run.sh BUILD_DIR
set -eu
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
bench=$repo/tools/winebench.sh
state=$build/bench-wine
if ! kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    trap '"$bench" "$state" stop' EXIT
fi
"$bench" "$state" start >/dev/null
work=$build/bench/updater-run
rm -rf "$work" && mkdir -p "$work/apply" "$work/install" "$work/new"
win() { echo "Z:${1//\//\\}"; }

out=$("$bench" "$state" run "$build/bin/apply_bench.exe" "$(win "$work/apply")" | tr -d '\r')
apply_ms=$(echo "$out" | sed -n 's/.*apply_ms=\([0-9.]*\).*/\1/p')
copy_ms=$(echo "$out" | sed -n 's/.*copy_ms=\([0-9.]*\).*/\1/p')
ratio=$(echo "$out" | sed -n 's/.*ratio=\([0-9.]*\).*/\1/p')
hash_ms=$(echo "$out" | sed -n 's/.*hash_ms=\([0-9.]*\).*/\1/p')
rm -rf "$work/apply"

cp "$build/bin/update.dll" "$work/install/"
cp "$build/bin/apply_bench.exe" "$work/install/TolvaUpdater.exe"
cp "$build/bin/TolvaUpdater.exe" "$work/new/"
old_dir=$("$bench" "$state" run reg query 'HKLM\Software\Ondrel\Tolva' /v InstallDir 2>/dev/null | tr -d '\r' |
          sed -n 's/.*REG_SZ *//p')
"$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v InstallDir /d "$(win "$work/install")" /f >/dev/null
measure() {
    "$bench" "$state" run "$build/bin/apply_bench.exe" measure "\"$(win "$work/new")\\TolvaUpdater.exe\" /install /silent" |
        tr -d '\r'
}
# The same run with no first updater to wait for: what starting and ending costs by itself.
alone_out=$(measure)
"$bench" "$state" run "$(win "$work/install")\\TolvaUpdater.exe" sleep "${WAIT_MS:-3000}" &
sleeper=$!
sleep 1
wait_out=$(measure)
wait "$sleeper"
if [ -n "$old_dir" ]; then
    "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v InstallDir /d "$old_dir" /f >/dev/null
fi
wall_ms=$(echo "$wait_out" | sed -n 's/.*wall_ms=\([0-9.]*\).*/\1/p')
cpu_ms=$(echo "$wait_out" | sed -n 's/.*cpu_ms=\([0-9.]*\).*/\1/p')

printf 'apply         20 files, 50 MiB, best of 3\n'
printf 'performUpdate %8.1f ms   CopyFileW %8.1f ms   ratio %s\n' "$apply_ms" "$copy_ms" "$ratio"
printf 'MD5 alone     %8.1f ms   (in memory, the floor of any verified copy: ratio %.2f)\n' "$hash_ms" \
    "$(echo "$hash_ms / $copy_ms + 1" | bc -l)"
alone_wall=$(echo "$alone_out" | sed -n 's/.*wall_ms=\([0-9.]*\).*/\1/p')
alone_cpu=$(echo "$alone_out" | sed -n 's/.*cpu_ms=\([0-9.]*\).*/\1/p')
printf 'install run   %s ms and %s ms of CPU with nothing to wait for\n' "$alone_wall" "$alone_cpu"
printf 'install run   %s ms and %s ms of CPU while the first updater ran: waiting cost %s ms of CPU per %s ms\n' \
    "$wall_ms" "$cpu_ms" "$((cpu_ms - alone_cpu))" "$((wall_ms - alone_wall))"
