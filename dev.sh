#!/usr/bin/env bash
# One entry point for newcomers and CI on Debian 12:
#   ./dev.sh run    install what is missing, build, start Tarvex
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh install PACKAGE...   install the Debian packages that are missing
set -euo pipefail
cd "$(dirname "$0")"

# Debian packages needed to build and run the window and the command-line tool.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libcli11-dev libxcb1-dev)
# Extra packages for the test suites: GoogleTest, expat (the XML reader that checks the bin map),
# a comma-decimal locale, an X server for the window-probe test.
TEST_PACKAGES=(libgtest-dev libgmock-dev libexpat1-dev locales xvfb xauth)

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The locale tests need a comma-decimal locale; generate one if the system has none.
ensure_comma_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
}

# The window-probe tests need an X display. Without one (CI, a console), start Xvfb on a free
# display for the tests and stop it when the script ends; without Xvfb those tests skip.
XVFB_PID=""
stop_xvfb() { [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true; }
ensure_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    command -v Xvfb >/dev/null || return 0
    local number
    for number in $(seq 99 199); do
        [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
        Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        trap stop_xvfb EXIT
        local tries
        for tries in $(seq 50); do
            if [ -e "/tmp/.X11-unix/X$number" ]; then
                export DISPLAY=":$number"
                echo "Started Xvfb on display $DISPLAY for the window-probe tests"
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.2
        done
        stop_xvfb
        XVFB_PID=""
    done
    echo "Could not start Xvfb: the window-probe tests will skip" >&2
}

case "${1:-}" in
install)
    shift
    install_missing "$@"
    ;;
run)
    install_missing "${BUILD_PACKAGES[@]}"
    cmake --preset release >/dev/null
    cmake --build --preset release
    exec ./build/release/src/ui/tarvex
    ;;
test)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    ensure_comma_locale
    ensure_display
    cmake --workflow --preset ci
    ;;
*)
    echo "usage: $0 run|test|install PACKAGE..." >&2
    exit 2
    ;;
esac
