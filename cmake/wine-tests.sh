#!/bin/sh
# The Wine side of the cross-built tests: "start" makes a fresh WINEPREFIX with the null graphics
# driver (so that windows can be made without a display) and keeps one wineserver running, since
# each Wine start costs seconds otherwise; "stop" ends that wineserver. Making the prefix skips the
# Mono and Gecko installers, whose prompts would wait forever without a display.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix folder}"
export WINEPREFIX WINEDEBUG=-all

case "${1:-}" in
start)
    for fd in 3 4 5 6 7 8 9; do eval "exec $fd>&-"; done
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Wine's background processes outlive each command: they must not hold ctest's output pipe.
    if ! WINEDLLOVERRIDES='mscoree,mshtml=d' wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        >"$WINEPREFIX/setup.log" 2>&1 </dev/null; then
        cat "$WINEPREFIX/setup.log" >&2
        exit 1
    fi
    # The new prefix is finished in the background; windows fail until it is.
    wineserver -w
    wineserver -p 120 >/dev/null 2>&1
    # Start Wine's services (services.exe, winedevice.exe, plugplay.exe) here, detached from every
    # file ctest handed down: whichever process starts them passes them its output pipe and ctest's
    # log, and ctest would then wait for those to close until the wineserver ends.
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
