#!/usr/bin/env bash
# Checks that the Windows tarvex-cli.exe (run under Wine) writes the same bytes, the same device
# report, the same check output and the same exit statuses as the Linux tarvex-cli for the same
# netlists: CRLF, CR-only and LF line ends, numbers in every suffix form, lines without a line end,
# and the real netlists of ../shared/corpus when they are there.
#   tools/compare_windows_build.sh LINUX_CLI WINDOWS_CLI_EXE
set -euo pipefail
cd "$(dirname "$0")/.."

linux_cli="${1:?usage: $0 LINUX_CLI WINDOWS_CLI_EXE}"
windows_cli="${2:?usage: $0 LINUX_CLI WINDOWS_CLI_EXE}"
. tools/wine_prefix.sh
# Wine turns the Unix arguments into Windows' wide ones with the locale's character set.
export LC_ALL=C.UTF-8

# A deterministic mix of devices in and out of the example bins, in every number form the parser
# reads, with passives and comments between them.
make_netlist() {
    awk 'BEGIN {
        split("180n 0.18u 0.2u 350n .5u 1u 1.5U 2u 5u 10u 0.05u 1e-6 2.5E-7 3MEG 4m 7p 1000n", v, " ")
        n = 17; seed = 12345
        for (i = 1; i <= 3000; i++) {
            seed = (seed * 1103515245 + 12345) % 2147483648; a = int(seed / 65536) % n + 1
            seed = (seed * 1103515245 + 12345) % 2147483648; b = int(seed / 65536) % n + 1
            if (i % 7 == 0) printf "* comment MODxyN L=%s W=%s\n", v[a], v[b]
            else if (i % 5 == 0) printf "R%d n%d n%d %s\n", i, i, i + 1, v[a]
            else if (i % 2 == 0) printf "M%d d g s b MODxyN L=%s W=%s\n", i, v[a], v[b]
            else printf "M%d d g s b MODxyP W=%s L=%s m=2\n", i, v[b], v[a]
        }
        printf "M9999 d g s b MODxyN L=0.5u W=4u"
    }'
}

mkdir -p "$work/in" "$work/linux" "$work/windows"
make_netlist >"$work/in/mix-lf.net"
sed 's/$/\r/' "$work/in/mix-lf.net" >"$work/in/mix-crlf.net"
tr '\n' '\r' <"$work/in/mix-lf.net" >"$work/in/mix-cr.net"
sed 's/$/\r/' examples/amp.net >"$work/in/amp-crlf.net"
# A name that no ANSI code page holds whole: paths must reach Windows as wide characters.
cp "$work/in/mix-crlf.net" "$work/in/mix-日本-ü.net"
if [ -d ../shared/corpus ]; then
    for file in ../shared/corpus/*; do
        case "$file" in *.md) continue ;; esac
        cp "$file" "$work/in/"
    done
else
    echo "../shared/corpus is absent: comparing the generated netlists only"
fi

# Wine's first start makes the prefix; then one wineserver is kept for all the runs.
wine cmd /c exit >/dev/null 2>&1 </dev/null
wineserver -w
wineserver -p 60 >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null

failed=0
count=0
for input in "$work/in"/*; do
    name="$(basename "$input")"
    status_linux=0
    status_windows=0
    "$linux_cli" rewrite --settings examples/demo.amd --report "$work/linux/$name.csv" \
        "$input" "$work/linux/$name" 2>"$work/linux/$name.err" || status_linux=$?
    wine "$windows_cli" rewrite --settings examples/demo.amd --report "$work/windows/$name.csv" \
        "$input" "$work/windows/$name" 2>"$work/windows/$name.err" </dev/null || status_windows=$?
    count=$((count + 1))
    if [ "$status_linux" != "$status_windows" ]; then
        echo "DIFFERENT exit status for $name: Linux $status_linux, Windows $status_windows"
        failed=1
    fi
    # check's grids and list, which Windows writes with CRLF line ends to its text-mode stdout.
    check_linux=0
    check_windows=0
    "$linux_cli" check --settings examples/demo.amd "$input" >"$work/linux/$name.check" \
        2>>"$work/linux/$name.err" || check_linux=$?
    wine "$windows_cli" check --settings examples/demo.amd "$input" >"$work/windows/$name.check-crlf" \
        2>>"$work/windows/$name.err" </dev/null || check_windows=$?
    tr -d '\r' <"$work/windows/$name.check-crlf" >"$work/windows/$name.check"
    if [ "$check_linux" != "$check_windows" ]; then
        echo "DIFFERENT check exit status for $name: Linux $check_linux, Windows $check_windows"
        failed=1
    fi
    for out in "$name" "$name.csv" "$name.check"; do
        if ! cmp "$work/linux/$out" "$work/windows/$out"; then
            echo "DIFFERENT bytes in $out"
            failed=1
        fi
    done
done

# The generated netlists must really have been rewritten, or the comparison proves little.
grep -q 'nch_w' "$work/linux/mix-crlf.net" || { echo "mix-crlf.net was not rewritten"; failed=1; }
grep -q $'\r$' "$work/windows/mix-crlf.net" || { echo "CRLF line ends were lost"; failed=1; }
grep -q 'would keep' "$work/linux/mix-crlf.net.check" || { echo "check found no kept device"; failed=1; }

if [ "$failed" -ne 0 ]; then
    echo "The Windows build differs from the Linux build."
    exit 1
fi
echo "The Windows build wrote the same bytes, reports, check output and exit statuses as the Linux build for $count netlists."
