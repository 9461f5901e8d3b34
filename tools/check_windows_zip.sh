#!/usr/bin/env bash
# Checks the Windows release zip: it holds exactly the two programs, the help page, the README,
# the licence and the examples (a settings file and a netlist) in one folder; the programs need no DLL beyond those every Windows has; and the
# programs taken out of the zip start under Wine.
#   tools/check_windows_zip.sh build/mingw/tarvex-1.0.0-win64.zip
set -euo pipefail

zip="$(realpath "${1:?usage: $0 ZIP}")"
folder="$(basename "$zip" .zip)"
. "$(dirname "$0")/wine_prefix.sh"

expected="$(printf '%s\n' LICENSE.txt README.md examples/amp.net examples/demo.amd help.html tarvex-cli.exe \
    tarvex.exe | sed "s|^|$folder/|")"
listed="$(cd "$work" && cmake -E tar tf "$zip" | grep -v '/$' | sort)"
if [ "$listed" != "$expected" ]; then
    echo "unexpected files in $zip:" >&2
    diff <(echo "$expected") <(echo "$listed") >&2 || true
    exit 1
fi
(cd "$work" && cmake -E tar xf "$zip")

# System DLLs only: the C runtime, the Win32 API and Windows Sockets.
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|ws2_32|msvcrt)\.dll$'
for exe in tarvex.exe tarvex-cli.exe; do
    while read -r dll; do
        if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
            echo "$exe needs $dll, which Windows does not have" >&2
            exit 1
        fi
    done < <(x86_64-w64-mingw32-objdump -p "$work/$folder/$exe" | sed -n 's/^\s*DLL Name: //p')
done

version="$(wine "$work/$folder/tarvex-cli.exe" --version </dev/null 2>/dev/null | tr -d "\r")"
echo "$version" | grep -q '^tarvex-cli ' || { echo "tarvex-cli.exe from the zip did not start: $version" >&2; exit 1; }
echo "$zip: $(echo "$listed" | wc -l) files, system DLLs only, $version"
