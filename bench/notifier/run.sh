#!/bin/bash
# The notifier's costs beside a minimal tray program's, as ratios:
#   - CPU time, context switches and wake-ups over two idle minutes, and resident memory, read from /proc
#     for the Wine process of each program while both sit in the same Wine desktop;
#   - one check pass over 1,000 stored reminders beside the bare registry reads of the same values.
# Usage: bench/notifier/run.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$here/../..
bench=$top/tools/winebench.sh
state=$build/bench-wine
work=$build/bench-notifier
idle=${TOLVA_BENCH_IDLE_SECONDS:-120}
mkdir -p "$work"
"$bench" "$state" start >/dev/null

# The yardstick, built with the suite's compiler and flags.
x86_64-w64-mingw32-g++-posix -O2 -Wall -Wextra -static -municode -mwindows -DUNICODE -D_UNICODE \
    "$here/mintray.cpp" -o "$work/mintray.exe"

winpath() { echo "Z:${1//\//\\}"; }
reg() { "$bench" "$state" run reg "$@" >/dev/null 2>&1; }
# A user who is set up, so the notifier goes straight to its tray icon; no update checks.
reg add 'HKLM\Software\Ondrel\Tolva' /v InstallDir /d "$(winpath "$build/bin")" /f
reg add 'HKCU\Software\Ondrel\Tolva' /v Language /t REG_DWORD /d 1 /f
reg add 'HKCU\Software\Ondrel\Tolva' /v AutoUpdate /t REG_DWORD /d 0 /f
reg add 'HKCU\Software\Ondrel\Tolva\Reminders\Custom\Default' /f
reg add 'HKCU\Software\Ondrel\Tolva\Reminders\Built-in' /f

# The Linux process of a Wine program: the newest whose command line names the file.
wine_pid() {
    local file=$1 pid
    for _ in $(seq 100); do
        pid=$(pgrep -n -f -- "$file" || true)
        [ -n "$pid" ] && { echo "$pid"; return; }
        sleep 0.1
    done
    echo "cannot find the process of $file" >&2
    exit 1
}
# CPU ticks (user + system) and context switches summed over every thread of a process.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {s += $2} END {print s}'; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

"$bench" "$state" run "$build/bin/Tolva.exe" >/dev/null 2>&1 &
"$bench" "$state" run "$work/mintray.exe" >/dev/null 2>&1 &
tolva=$(wine_pid 'Tolva.exe')
mintray=$(wine_pid 'mintray.exe')
trap 'kill $tolva $mintray 2>/dev/null || true' EXIT
sleep 5 # past start-up
t0=$(cpu_ticks "$tolva") m0=$(cpu_ticks "$mintray") ts0=$(switches "$tolva") ms0=$(switches "$mintray")
# Sampled once a second: the seconds in which a program switched at all are its wake-ups.
twakes=0 mwakes=0 tlast=$ts0 mlast=$ms0
for _ in $(seq "$idle"); do
    sleep 1
    tnow=$(switches "$tolva") mnow=$(switches "$mintray")
    [ "$tnow" != "$tlast" ] && twakes=$((twakes + 1))
    [ "$mnow" != "$mlast" ] && mwakes=$((mwakes + 1))
    tlast=$tnow mlast=$mnow
done
t1=$(cpu_ticks "$tolva") m1=$(cpu_ticks "$mintray") ts1=$(switches "$tolva") ms1=$(switches "$mintray")
trss=$(rss_kb "$tolva") mrss=$(rss_kb "$mintray")
kill "$tolva" "$mintray" 2>/dev/null || true
trap - EXIT

hz=$(getconf CLK_TCK)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a (yardstick 0)" }'; }
echo "notifier over ${idle}s idle, beside a minimal tray program (ratio notifier / minimal):"
echo "  CPU time:          $(awk -v t=$((t1 - t0)) -v h="$hz" 'BEGIN{printf "%.2f", t / h}') s vs $(awk -v t=$((m1 - m0)) -v h="$hz" 'BEGIN{printf "%.2f", t / h}') s, ratio $(ratio $((t1 - t0)) $((m1 - m0)))"
echo "  context switches:  $((ts1 - ts0)) vs $((ms1 - ms0)), ratio $(ratio $((ts1 - ts0)) $((ms1 - ms0)))"
echo "  wake-ups:          $twakes vs $mwakes seconds with any switch (a check pass's registry reads are server round trips under Wine)"
echo "  resident memory:   ${trss} kB vs ${mrss} kB, ratio $(ratio "$trss" "$mrss")"
"$bench" "$state" run "$build/tests/notifier/bin/notifier_check_bench.exe"
