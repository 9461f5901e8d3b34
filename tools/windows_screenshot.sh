#!/usr/bin/env bash
# Takes the README's picture of the Windows window: tarvex.exe under Wine's X11 driver on a private
# Xvfb display, showing examples/demo.amd as the remembered settings file, captured with
# ImageMagick. Without a window manager no title bar is drawn, so the picture shows the window's
# inside, as the Linux one does.
#   tools/windows_screenshot.sh build/mingw/src/win32/tarvex.exe docs/tarvex-window-windows.png
set -euo pipefail
cd "$(dirname "$0")/.."

exe="$(realpath "${1:?usage: $0 TARVEX_EXE OUT.png}")"
out="${2:?usage: $0 TARVEX_EXE OUT.png}"
. tools/wine_prefix.sh
xvfb=""
cleanup() {
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    wine_prefix_cleanup
}
trap cleanup EXIT

for number in $(seq 150 199); do
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
done
Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$number"

cp examples/demo.amd "$work/demo.amd"
wine reg add 'HKCU\Software\Quendale\tarvex\Options' /v 'MODxy File' /d "$(winepath -w "$work/demo.amd" 2>/dev/null)" /f \
    >/dev/null 2>&1
wineserver -w

wine "$exe" >/dev/null 2>&1 &
window=""
for _ in $(seq 60); do
    window="$(xdotool search --name 'Tarvex$' 2>/dev/null | head -1)" && [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || { echo "the Tarvex window did not appear" >&2; exit 1; }
sleep 2 # let it paint
import -window "$window" "$out"
echo "wrote $out"
