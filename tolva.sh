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

run() {
    configure_and_build
    local state=$build/run-wine bench=$top/tools/winebench.sh mirror=$build/run-mirror
    local server=$top/tests/update/server.py setup=$build/setup/Tolva-setup.exe
    local version
    version=$(sed -n 's/^project(Tolva VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
    # A release of this very build on a local mirror, signed with the build's throwaway key, so the
    # detection, the news and "Check for Updates" all get their answers.
    rm -rf "$mirror"
    local with_setup=()
    [[ -f $setup ]] && with_setup=(--setup "$setup")
    python3 "$top/tools/release.py" publish --build "$build/bin" --version "$version" \
        --key "$build/keys/test-release.key" --out "$mirror/www" "${with_setup[@]}" >/dev/null
    python3 "$server" stop --state "$mirror/server" >/dev/null 2>&1 || true
    python3 "$server" start --root "$mirror/www" --state "$mirror/server" >/dev/null
    local host="127.0.0.1:$(cat "$mirror/server/port")"
    "$bench" "$state" start
    "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v UpdateMirrors /d "$host" /f >/dev/null
    if [[ -f $setup ]]; then
        # The suite as a user gets it: the setup program, without a window.
        "$bench" "$state" run "$setup" /silent
    else
        # A build without the installer: the build's own folder is the installation.
        "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v InstallDir /d "Z:${build//\//\\}\\bin" /f >/dev/null
        "$bench" "$state" run reg add 'HKLM\Software\Ondrel\Tolva' /v DefaultLanguage /d English /f >/dev/null
        "$bench" "$state" run "$build/bin/Datemark.exe"
    fi
    local installed
    installed=$("$bench" "$state" run reg query 'HKLM\Software\Ondrel\Tolva' /v InstallDir | tr -d '\r' |
                sed -n 's/.*REG_SZ *//p')
    echo "Installed in $installed (Wine prefix $state/prefix, display $(cat "$state/display"))."
    "$bench" "$state" run reg query 'HKLM\Software\Ondrel\Tolva'
    # The notifier in the Wine desktop: a new user first sees the set-up questions, then its tray icon.
    setsid env -u http_proxy -u HTTP_PROXY "$bench" "$state" run "$installed\\Tolva.exe" </dev/null \
        >"$state/tolva.log" 2>&1 &
    echo "Tolva.exe started (Linux process $!) on display $(cat "$state/display"); updates from http://$host/."
    echo "Stop it all with: $bench $state stop; python3 $server stop --state $mirror/server"
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
