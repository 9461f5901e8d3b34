#!/usr/bin/env bash
# Checks the Debian package as a user's system would see it: its control fields, every file it
# installs, the desktop entry, the settings file type, the man pages and that both programs start
# from the unpacked tree. With --install it also installs the package with apt, checks the installed
# programs and the man page, and removes it again.
#   tools/check_deb.sh [--install] PACKAGE.deb
set -euo pipefail

install=false
if [ "${1:-}" = "--install" ]; then
    install=true
    shift
fi
deb="$(realpath "${1:?usage: $0 [--install] PACKAGE.deb}")"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

echo "== control fields"
control="$(dpkg-deb --field "$deb")"
echo "$control" | grep -qx 'Package: tarvex' || fail "package name is not tarvex"
echo "$control" | grep -qx 'Architecture: amd64' || fail "architecture is not amd64"
depends="$(dpkg-deb --field "$deb" Depends)"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libxcb1 qt6-qpa-plugins; do
    [[ ",$depends," == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

echo "== files"
dpkg-deb -x "$deb" "$root"
expected=(
    usr/bin/tarvex
    usr/bin/tarvex-cli
    usr/share/applications/tarvex.desktop
    usr/share/mime/packages/tarvex.xml
    usr/share/man/man1/tarvex.1.gz
    usr/share/man/man1/tarvex-cli.1.gz
    usr/share/doc/tarvex/copyright
    usr/share/doc/tarvex/help.html
    usr/share/doc/tarvex/README.md
)
for side in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${side}x${side}/apps/tarvex.png")
done
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "missing or empty: /$file"
done
# Nothing else, and nothing outside /usr.
unexpected="$(cd "$root" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))"
[ -z "$unexpected" ] || fail "files not expected in the package: $unexpected"

echo "== desktop entry and file type"
desktop-file-validate "$root/usr/share/applications/tarvex.desktop" || fail "desktop-file-validate"
grep -qx 'MimeType=application/x-tarvex-settings;' "$root/usr/share/applications/tarvex.desktop" ||
    fail "the desktop entry does not open settings files"
grep -q '^Exec=tarvex %f$' "$root/usr/share/applications/tarvex.desktop" ||
    fail "the desktop entry does not pass the file to tarvex"
# The database a file manager reads must map *.amd to the settings type.
cp -r "$root/usr/share/mime" "$root/mime-db"
update-mime-database "$root/mime-db" 2>&1 | { grep -v '^$' || true; }
grep -q 'application/x-tarvex-settings:\*\.amd' "$root/mime-db/globs2" || fail "*.amd is not in the MIME database"

echo "== man pages"
for page in tarvex tarvex-cli; do
    warnings="$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)"
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done

echo "== programs"
"$root/usr/bin/tarvex-cli" --version | grep -q '^tarvex-cli ' || fail "tarvex-cli --version"
"$root/usr/bin/tarvex-cli" --help | grep -q 'process' || fail "tarvex-cli --help"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/tarvex" --version | grep -q '^tarvex ' || fail "tarvex --version"

if $install; then
    echo "== apt install"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
    tarvex-cli --version | grep -q '^tarvex-cli ' || fail "installed tarvex-cli"
    man -w tarvex-cli | grep -q '/usr/share/man/man1/tarvex-cli.1.gz' || fail "man tarvex-cli"
    command -v tarvex >/dev/null || fail "installed tarvex"
    grep -q 'application/x-tarvex-settings' /usr/share/mime/globs2 ||
        fail "the system MIME database does not know settings files"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarvex >/dev/null
    ! command -v tarvex-cli >/dev/null || fail "tarvex-cli is still there after removal"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "The package is sound."
