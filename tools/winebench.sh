#!/bin/bash
# The tests' Windows: a private Wine prefix inside the build tree, an Xvfb display and one
# wineserver kept alive for the whole run (each test then starts in well under a second).
#   winebench.sh STATE start | stop | run PROGRAM [ARGS...]
set -u
state=$1; shift
prefix=$state/prefix
# No Mono or Gecko prompts; and no shortcut made in the prefix reaches the host's desktop menus.
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -f "$state/display" ] && export DISPLAY=$(cat "$state/display")

start() {
    mkdir -p "$state"
    if [ ! -f "$state/display" ] || ! kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
        for n in $(seq 90 140); do
            [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
            setsid Xvfb :$n -screen 0 1280x800x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
            echo $! >"$state/xvfb.pid"
            for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
            echo ":$n" >"$state/display"
            break
        done
        export DISPLAY=$(cat "$state/display")
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log"; exit 1; }
        # One virtual desktop for every window: no X window manager is needed, windows show at
        # once (a bare X server makes each new top-level window wait on it), and the
        # notification area has a taskbar to live in.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x800 /f </dev/null >/dev/null 2>&1
        wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    fi
    # Daemons must not hold the caller's output open, or the test runner waits for them forever.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c ver </dev/null >"$state/warmup.log" 2>&1
    echo "Wine prefix $prefix on display $DISPLAY"
}

stop() {
    wineserver -k 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null; rm -f "$state/xvfb.pid" "$state/display"; fi
    return 0
}

case "${1:-}" in
start) start ;;
stop) stop ;;
run) shift; exec wine "$@" ;;
*) echo "usage: $0 STATE start|stop|run PROGRAM [ARGS]" >&2; exit 2 ;;
esac
