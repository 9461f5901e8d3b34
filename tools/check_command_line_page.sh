#!/usr/bin/env bash
# Runs the console examples of the command-line page as a reader would, one after another in one
# shell from the top of the checkout, and fails unless each command prints what the page shows
# under it (standard output and standard error together). /tmp/ in the commands becomes a scratch
# folder, and the state folder, where Tarvex records its outputs, is a new one in there too.
#   tools/check_command_line_page.sh [PAGE]     (default docs/command-line.md; needs the ci build)
set -euo pipefail
cd "$(dirname "$0")/.."

page="${1:-docs/command-line.md}"
[ -x build/ci/src/cli/tarvex-cli ] || {
    echo "check_command_line_page: build/ci/src/cli/tarvex-cli is missing; build the ci preset first" >&2
    exit 1
}
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tmp" "$scratch/home" "$scratch/state" "$scratch/steps"

# Each "$ " line of a console block is a command; the lines below it, up to the next command or the
# end of the block, are what it prints.
count="$(awk -v steps="$scratch/steps" '
    /^```console$/ { inside = 1; next }
    inside && /^```$/ { inside = 0; next }
    inside && /^\$ / { n++; print substr($0, 3) > (steps "/" n ".cmd"); printf "" > (steps "/" n ".want"); next }
    inside { print > (steps "/" n ".want") }
    END { print n + 0 }' "$page")"
[ "$count" -gt 0 ] || { echo "check_command_line_page: no console example in $page" >&2; exit 1; }

script="$scratch/steps/run.sh"
for i in $(seq "$count"); do
    command="$(sed "s|/tmp/|$scratch/tmp/|g" "$scratch/steps/$i.cmd")"
    printf '{ %s\n} >"%s" 2>&1\n' "$command" "$scratch/steps/$i.got" >>"$script"
done
HOME="$scratch/home" XDG_STATE_HOME="$scratch/state" LC_ALL=C.UTF-8 bash --norc --noprofile "$script" </dev/null

failed=0
for i in $(seq "$count"); do
    if ! cmp -s "$scratch/steps/$i.want" "$scratch/steps/$i.got"; then
        echo "\$ $(cat "$scratch/steps/$i.cmd")" >&2
        diff -u --label "the page" --label "the run" "$scratch/steps/$i.want" "$scratch/steps/$i.got" >&2 || true
        failed=$((failed + 1))
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "check_command_line_page: $failed of $count commands of $page print something else than the page shows" >&2
    exit 1
fi
echo "$page: all $count commands print what the page shows"
