#!/usr/bin/env bash
# Checks that the tarvex-cli man page keeps up with the program: every subcommand and every long
# option that the program's --help lists, and its version, must appear in the page.
#   tools/check_manpage.sh TARVEX_CLI PAGE.1
set -euo pipefail
cli="${1:?usage: $0 TARVEX_CLI PAGE.1}"
page="${2:?usage: $0 TARVEX_CLI PAGE.1}"

# The page's text with roff's escaped hyphens made plain.
text="$(sed 's/\\-/-/g' "$page")"
missing=0
need() {
    if ! grep -qF -- "$1" <<<"$text"; then
        echo "$page does not mention $1 (from $2)" >&2
        missing=$((missing + 1))
    fi
}

version="$("$cli" --version | awk '{print $2}')"
need "Tarvex $version" "--version"
subcommands="$("$cli" --help | awk '/^Subcommands:/ {on = 1; next} on && /^  [a-z]/ {print $1}')"
[ -n "$subcommands" ] || { echo "no subcommands found in $cli --help" >&2; exit 1; }
for sub in $subcommands; do
    need "tarvex-cli $sub" "$cli --help"
    for option in $("$cli" "$sub" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
        need "$option" "$cli $sub --help"
    done
done
[ "$missing" -eq 0 ] || exit 1
echo "$page covers every subcommand and option of $cli"
