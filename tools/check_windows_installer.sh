#!/usr/bin/env bash
# Checks the Windows setup under Wine, in a fresh prefix: a silent install puts the files and the
# examples, the Start-menu shortcuts (Tarvex starting in Documents, the examples folder), the .amd
# file type, the folder at the end of the user's PATH and the uninstall entry in place; tarvex-cli.exe runs from
# the installed folder; while tarvex.exe runs, a second setup refuses and changes nothing; installing
# again keeps one entry; the silent uninstall removes all of it but the remembered settings path and
# the user's .amd files, and takes its PATH entry away again, the user's own entries staying.
#   tools/check_windows_installer.sh build/mingw/tarvex-1.0.0-win64-setup.exe
set -euo pipefail

setup="$(realpath "${1:?usage: $0 SETUP.exe}")"
. "$(dirname "$0")/wine_prefix.sh"
fail() {
    echo "check_windows_installer: $*" >&2
    exit 1
}
# No display: Wine's null graphics driver lets tarvex.exe run its window unseen.
wine_prefix_start

uninstall_key='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvex'
progid='HKEY_CURRENT_USER\Software\Classes\Tarvex.SettingsFile'
profile='HKEY_CURRENT_USER\Software\Quendale\tarvex\Options'

# HKCU\Software as text: [key] lines and "name"=value lines, in UTF-8.
export_registry() {
    wine reg export 'HKCU\Software' "$work/hkcu.reg" /y >/dev/null 2>&1 || fail "reg export failed"
    iconv -f UTF-16LE -t UTF-8 "$work/hkcu.reg" | tr -d '\r\357\273\277' >"$work/hkcu.txt"
}
# The value NAME ("@" for the default) of KEY in the last export, unescaped; empty when absent.
reg_value() {
    KEY="[$1]" NAME="$2" awk '
        BEGIN { key = ENVIRON["KEY"]; name = ENVIRON["NAME"] }
        /^\[/ { inside = ($0 == key); next }
        inside {
            split_at = index($0, "=")
            n = substr($0, 1, split_at - 1)
            if (n != "@") { n = substr(n, 2, length(n) - 2); gsub(/\\\\/, "\\", n) }
            if (n != name) next
            v = substr($0, split_at + 1)
            if (v ~ /^"/) { v = substr(v, 2, length(v) - 2); gsub(/\\"/, "\"", v); gsub(/\\\\/, "\\", v) }
            print v
        }' "$work/hkcu.txt"
}
has_key() { grep -Fxq "[$1]" "$work/hkcu.txt"; }
expect_value() { # KEY NAME EXPECTED
    local got
    got="$(reg_value "$1" "$2")"
    [ "$got" = "$3" ] || fail "$1 $2 is '$got', expected '$3'"
}

# What the user has before installing: a remembered settings path and a settings file of their own.
mkdir -p "$WINEPREFIX/drive_c/tech"
printf 'user settings' >"$WINEPREFIX/drive_c/tech/amp.amd"
wine reg add 'HKCU\Software\Quendale\tarvex\Options' /v 'MODxy File' /d 'C:\tech\amp.amd' /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\tools;%USERPROFILE%\bin' /f >/dev/null 2>&1
# The user's PATH as the registry holds it.
user_path() {
    wine reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_[A-Z_]* *//p'
}

start=$SECONDS
wine "$setup" /S || fail "the silent install failed (exit code $?)"
install_seconds=$((SECONDS - start))

export_registry
location="$(reg_value "$uninstall_key" InstallLocation)"
echo "$location" | grep -Eq '^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Tarvex$' \
    || fail "installed into '$location', not %LOCALAPPDATA%\\Programs\\Tarvex"
folder="$(winepath -u "$location" 2>/dev/null)"
folder="${folder%/}"
programs="$(dirname "$(dirname "$(dirname "$folder")")")/Roaming/Microsoft/Windows/Start Menu/Programs"

check_installed() {
    local listed
    listed="$(cd "$folder" && ls -A | grep -v '\.amd$' | sort)"
    [ "$listed" = "$(printf '%s\n' LICENSE.txt README.md examples help.html tarvex-cli.exe tarvex.exe uninstall.exe)" ] \
        || fail "installed files: $(echo $listed)"
    [ "$(cd "$folder/examples" && ls -A)" = "$(printf '%s\n' amp.net demo.amd)" ] \
        || fail "installed examples: $(ls -A "$folder/examples" | tr '\n' ' ')"
    [ -f "$programs/Tarvex Examples.lnk" ] || fail "no Start-menu shortcut to the examples"
    strings -a -el "$programs/Tarvex Examples.lnk" | grep -Fq "$location\examples" \
        || strings -a "$programs/Tarvex Examples.lnk" | grep -Fq "$location\examples" \
        || fail "the examples shortcut does not open $location\examples"
    local link_texts
    link_texts="$(strings -a -el "$programs/Tarvex.lnk"; strings -a "$programs/Tarvex.lnk")"
    echo "$link_texts" | grep -Eq '\\Documents$' || fail "the Start-menu shortcut does not start in the Documents folder"
    [ "$(user_path)" = "C:\tools;%USERPROFILE%\bin;$location" ] || fail "the user's PATH is '$(user_path)'"
    for exe in tarvex.exe tarvex-cli.exe uninstall.exe; do
        x86_64-w64-mingw32-objdump -f "$folder/$exe" | grep -q 'pei-x86-64' || fail "$exe is not a 64-bit program"
    done
    [ -f "$programs/Tarvex.lnk" ] || fail "no Start-menu shortcut $programs/Tarvex.lnk"
    strings -a -el "$programs/Tarvex.lnk" | grep -Fq "$location\\tarvex.exe" \
        || strings -a "$programs/Tarvex.lnk" | grep -Fq "$location\\tarvex.exe" \
        || fail "the Start-menu shortcut does not start $location\\tarvex.exe"

    expect_value 'HKEY_CURRENT_USER\Software\Classes\.amd' @ Tarvex.SettingsFile
    expect_value "$progid" @ 'Tarvex settings file'
    expect_value "$progid\\DefaultIcon" @ "$location\\tarvex.exe,0"
    expect_value "$progid\\shell\\open\\command" @ "\"$location\\tarvex.exe\" \"%1\""

    expect_value "$uninstall_key" DisplayName Tarvex
    expect_value "$uninstall_key" Publisher Quendale
    expect_value "$uninstall_key" DisplayIcon "$location\\tarvex.exe,0"
    expect_value "$uninstall_key" UninstallString "\"$location\\uninstall.exe\""
    expect_value "$uninstall_key" QuietUninstallString "\"$location\\uninstall.exe\" /S"
    expect_value "$uninstall_key" NoModify dword:00000001
    expect_value "$uninstall_key" NoRepair dword:00000001
    local size_kib=$(( $(cat "$folder"/*.exe "$folder"/*.html "$folder"/*.md "$folder"/*.txt | wc -c) / 1024 ))
    local estimated=$((16#$(reg_value "$uninstall_key" EstimatedSize | sed 's/^dword://')))
    [ "$estimated" -ge $((size_kib / 2)) ] && [ "$estimated" -le $((size_kib * 2)) ] \
        || fail "EstimatedSize $estimated KiB for $size_kib KiB of files"
    [ "$(grep -c '^"DisplayName"="Tarvex"$' "$work/hkcu.txt")" -eq 1 ] || fail "more than one uninstall entry"
}
check_installed

version="$(wine "$folder/tarvex-cli.exe" --version </dev/null 2>/dev/null | tr -d '\r')"
[ "$version" = "tarvex-cli $(reg_value "$uninstall_key" DisplayVersion)" ] \
    || fail "the installed tarvex-cli.exe answered '$version' for DisplayVersion $(reg_value "$uninstall_key" DisplayVersion)"

# A settings file that the user saved into the program's folder, which no step may remove.
printf 'kept' >"$folder/mine.amd"

# While tarvex.exe runs, a second setup changes nothing and says so (exit code 2 when silent).
wine "$folder/tarvex.exe" >/dev/null 2>&1 &
running=$!
sleep 2
kill -0 "$running" 2>/dev/null || fail "the installed tarvex.exe did not keep running"
before="$(cd "$folder" && ls -l --time-style=+%s.%N)"
status=0
wine "$setup" /S || status=$?
[ "$status" -eq 2 ] || fail "the setup ran over a running tarvex.exe (exit code $status)"
[ "$(cd "$folder" && ls -l --time-style=+%s.%N)" = "$before" ] || fail "the refused setup changed files"
wine taskkill /f /im tarvex.exe >/dev/null 2>&1 || kill "$running" 2>/dev/null || true
wait "$running" 2>/dev/null || true

# Installing again replaces the files in place and keeps one uninstall entry.
wine "$setup" /S || fail "the second install failed (exit code $?)"
export_registry
[ "$(reg_value "$uninstall_key" InstallLocation)" = "$location" ] || fail "the second install moved"
check_installed

# The quiet uninstall, as Apps & features runs it. The uninstaller copies itself to the temporary
# folder and returns at once; it is done when its entry is gone.
quiet_uninstall() {
    local quiet uninstaller
    quiet="$(reg_value "$uninstall_key" QuietUninstallString)"
    uninstaller="${quiet% /S}"
    uninstaller="${uninstaller#\"}"
    wine "${uninstaller%\"}" /S || fail "the uninstaller did not start"
    for _ in $(seq 120); do
        wine reg query "$uninstall_key" >/dev/null 2>&1 || break
        sleep 0.25
    done
    sleep 0.5
    export_registry
}
quiet_uninstall
! has_key "$uninstall_key" || fail "the uninstall entry is still there"
! has_key "$progid" || fail "the file type's ProgID is still there"
! has_key 'HKEY_CURRENT_USER\Software\Classes\.amd' || fail ".amd is still registered"
[ ! -e "$programs/Tarvex.lnk" ] || fail "the Start-menu shortcut is still there"
[ "$(cd "$folder" && ls -A)" = mine.amd ] || fail "left in the folder: $(ls -A "$folder" | tr '\n' ' ')"
[ "$(cat "$WINEPREFIX/drive_c/tech/amp.amd")" = 'user settings' ] || fail "the user's settings file changed"
[ "$(user_path)" = 'C:\tools;%USERPROFILE%\bin' ] || fail "after the uninstall the user's PATH is '$(user_path)'"
[ ! -e "$programs/Tarvex Examples.lnk" ] || fail "the examples shortcut is still there"
expect_value "$profile" 'MODxy File' 'C:\tech\amp.amd'

# A file type that opens another Tarvex folder by now is not this one's to remove.
wine "$setup" /S || fail "the third install failed (exit code $?)"
other='"D:\Tarvex\tarvex.exe" "%1"'
wine reg add 'HKCU\Software\Classes\Tarvex.SettingsFile\shell\open\command' /ve /d "$other" /f >/dev/null 2>&1
export_registry
quiet_uninstall
! has_key "$uninstall_key" || fail "the uninstall entry is still there"
expect_value "$progid\\shell\\open\\command" @ "$other"
expect_value 'HKEY_CURRENT_USER\Software\Classes\.amd' @ Tarvex.SettingsFile

echo "$setup: installed in $install_seconds s to $location, checked, refused while running, installed again, uninstalled, kept a file type it no longer owns; $version"
