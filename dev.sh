#!/usr/bin/env bash
# One entry point for newcomers and CI on Debian 12:
#   ./dev.sh run    install what is missing, build, start Tarvex
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh install PACKAGE...   install the Debian packages that are missing
set -euo pipefail
cd "$(dirname "$0")"

# Debian packages needed to build and run the window and the command-line tool.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libcli11-dev libxcb1-dev)
# Extra packages for the test suites: GoogleTest, a comma-decimal locale, an X server for the
# window-probe test.
TEST_PACKAGES=(libgtest-dev libgmock-dev locales xvfb xauth)

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
    cmake --workflow --preset ci
    ;;
*)
    echo "usage: $0 run|test|install PACKAGE..." >&2
    exit 2
    ;;
esac
