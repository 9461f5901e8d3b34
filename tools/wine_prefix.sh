# Sourced by the Windows checks (check_windows_zip.sh, check_windows_installer.sh): a fresh Wine
# prefix in a scratch folder of the script's own, removed with its wineserver when the script exits.
#   . "$(dirname "$0")/wine_prefix.sh"
#   wine_prefix_start     # optional: boot it now with the null display and keep one wineserver
# After sourcing, $work is the scratch folder and WINEPREFIX is "$work/wineprefix". Wine's Mono and
# Gecko installers are off (their prompts would wait forever without a display), and so is
# winemenubuilder, which would copy shortcuts and file types into this machine's desktop menus.

work="$(mktemp -d)"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'

wine_prefix_cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap wine_prefix_cleanup EXIT

# Boots the prefix with Wine's null graphics driver, so that programs can make their windows unseen,
# and keeps one wineserver running for every later step: each Wine start costs seconds otherwise.
# The desktop process that wineboot starts keeps the driver it started with, so the server restarts
# once the null driver is set.
wine_prefix_start() {
    mkdir -p "$WINEPREFIX"
    wineserver -p 120
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -k
    wineserver -w
    wineserver -p 120
}
