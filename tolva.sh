#!/bin/bash
# One entry point for a fresh Debian machine (as root):
#   ./tolva.sh run    install what is missing, build, and start the suite under Wine
#   ./tolva.sh test   install what is missing, build (64- and 32-bit) and run every test
#   ./tolva.sh bench  build and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"
top=$PWD
build=$top/build
build32=$top/build32

install_missing() {
    local missing=()
    while read -r pkg; do
        [[ -z $pkg || $pkg == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done <"$top/tools/packages.txt"
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

configure_and_build() {
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
    ninja -C "$build"
}

build_32bit() {
    cmake -S "$top" -B "$build32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
        -DTOLVA_TESTS=OFF >/dev/null
    ninja -C "$build32"
}

# Windows path of a Linux path, as Wine's Z: drive shows it.
winpath() { echo "Z:${1//\//\\}"; }

run() {
    configure_and_build
    local state=$build/run-wine bench=$top/tools/winebench.sh
    "$bench" "$state" start
    "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v InstallDir /d "$(winpath "$build/bin")" /f >/dev/null
    "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v DefaultLanguage /d English /f >/dev/null
    "$bench" "$state" run "$build/bin/Datemark.exe"
    echo "Installed in $(winpath "$build/bin") (Wine prefix $state/prefix, display $(cat "$state/display"))."
    "$bench" "$state" run reg query 'HKLM\Software\Ondrel\Tolva'
    # The notifier in the Wine desktop: a new user first sees the set-up questions, then its tray icon.
    setsid "$bench" "$state" run "$build/bin/Tolva.exe" </dev/null >"$state/tolva.log" 2>&1 &
    echo "Tolva.exe started (Linux process $!) on display $(cat "$state/display")."
    echo "The Wine desktop stays up; stop it with: $bench $state stop"
}

case "${1:-}" in
run) install_missing; run ;;
test)
    install_missing
    configure_and_build
    build_32bit
    "$top/tools/check-deliverables.sh" "$build32/bin" i686-w64-mingw32-objdump >/dev/null
    cd "$build" && ctest --output-on-failure --timeout 600
    ;;
bench) install_missing; configure_and_build; "$top/bench/run.sh" "$build" ;;
*) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac
